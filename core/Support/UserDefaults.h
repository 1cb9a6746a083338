#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

namespace kestrivane {

// A user-defaults domain: typed values under text keys.
//
// Stored values keep their kind: a text (QString), a number (double or integer), a Boolean, a data
// value (QByteArray) and an array (QVariantList, possibly empty) come back as what was written; an
// absent key gives an invalid QVariant. The typed readers answer nullopt when the key is absent
// or holds another kind.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual QVariant object(const QString &key) const = 0;
    virtual void set(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;

    bool contains(const QString &key) const { return object(key).isValid(); }
    std::optional<QString> string(const QString &key) const;
    std::optional<double> number(const QString &key) const;
    std::optional<QByteArray> data(const QString &key) const;
    // An array whose elements are all texts; nullopt for anything else.
    std::optional<QStringList> stringArray(const QString &key) const;

    void setStringArray(const QString &key, const QStringList &values);
};

// A domain kept in memory only; for tests and for a domain that cannot be opened.
class InMemoryUserDefaults final : public UserDefaults {
public:
    QVariant object(const QString &key) const override { return values_.value(key); }
    void set(const QString &key, const QVariant &value) override { values_.insert(key, value); }
    void remove(const QString &key) override { values_.remove(key); }

private:
    QMap<QString, QVariant> values_;
};

// A domain persisted as a JSON document in the user's configuration folder
// (~/.config/kestrivane/<domain>.json), through QSettings. Each write is saved atomically.
class SettingsUserDefaults final : public UserDefaults {
public:
    // `domain` is the file's base name: the bundle identifier, or a suite name.
    explicit SettingsUserDefaults(const QString &domain);
    // A domain stored in an explicit file (tests).
    static std::unique_ptr<SettingsUserDefaults> atPath(const QString &filePath);
    ~SettingsUserDefaults() override;

    // The standard domain of the running application, or the named suite when one is given.
    static std::unique_ptr<UserDefaults> open(const std::optional<QString> &suiteName);

    QVariant object(const QString &key) const override;
    void set(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;

    QString filePath() const;

private:
    struct PathTag {};
    SettingsUserDefaults(PathTag, const QString &filePath);
    std::unique_ptr<QSettings> settings_;
};

} // namespace kestrivane
