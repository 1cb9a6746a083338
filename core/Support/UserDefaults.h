#pragma once

#include "Support/Error.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

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
// (~/.config/kestrivane/<domain>.json). Each change writes the whole document atomically; values
// written by another domain on the same file since this one last read or wrote it are kept.
//
// Nothing is lost on a bad file: a file that cannot be read is copied aside
// (<name>.corrupt-<date and time>.json) before it is first replaced, and a change that cannot be
// written stays in memory, is written with the next change that can be, and is tried once more
// when the domain ends. Each of these is reported once, through `report`: the copy, and the first
// failed write after a successful one (or after the start).
class SettingsUserDefaults final : public UserDefaults {
public:
    using Report = std::function<void(const QString &text)>;

    // `domain` is the file's base name: the bundle identifier, or a suite name.
    explicit SettingsUserDefaults(const QString &domain, Report report = reportToStandardError);
    // A domain stored in an explicit file (tests).
    static std::unique_ptr<SettingsUserDefaults> atPath(const QString &filePath, Report report = reportToStandardError);
    ~SettingsUserDefaults() override;

    // The standard domain of the running application, or the named suite when one is given.
    static std::unique_ptr<UserDefaults> open(const std::optional<QString> &suiteName);

    QVariant object(const QString &key) const override;
    void set(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;

    QString filePath() const;

private:
    struct PathTag {};
    SettingsUserDefaults(PathTag, QString filePath, Report report);

    // What identifies one version of the file on disk; equal stamps mean an unchanged file.
    struct Stamp {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    static Stamp stampOf(const QString &path);

    void change(const QString &key, const std::optional<QVariant> &value);
    // Reads the file into values_; false (with the reason) when it exists but cannot be read.
    bool read(QString *fault);
    // Writes values_; empty when saved, else why not.
    QString write();
    // Copies an unreadable file aside before it is replaced; empty when done, else why not.
    QString keepUnreadableFile();
    void save();

    QString path_;
    Report report_;
    QMap<QString, QVariant> values_;
    // Changes not yet on disk: a value, or nullopt for a removal.
    QMap<QString, std::optional<QVariant>> unsaved_;
    Stamp stamp_;
    // Why the file on disk could not be read; set until it has been copied aside.
    QString unreadable_;
    bool failing_ = false;
};

} // namespace kestrivane
