#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace kestrivane {

// Whether a newer version of the application is available, and which (its display version).
// Every write announces a change, also when the value stays the same.
class UpdateStatusStore : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    std::optional<QString> availableVersion() const { return availableVersion_; }
    void setAvailableVersion(std::optional<QString> version);
    // An empty version counts as an available update.
    bool hasAvailableUpdate() const { return availableVersion_.has_value(); }

    void markAvailable(const QString &version) { setAvailableVersion(version); }
    void clearAvailableUpdate() { setAvailableVersion(std::nullopt); }

signals:
    void changed();

private:
    std::optional<QString> availableVersion_;
};

} // namespace kestrivane
