#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace kestrivane {

// Base of every error the core throws. The description is already localised and is what the
// store shows in its statuses; what() carries the same text for diagnostics.
class Error : public std::exception {
public:
    explicit Error(QString description = {}) : description_(std::move(description)) {}

    virtual QString localizedDescription() const { return description_; }
    const char *what() const noexcept override;

private:
    QString description_;
    mutable QByteArray what_;
};

// A document that does not have the expected shape (JSON, property lists, stored values).
class DecodingError : public Error {
public:
    using Error::Error;
};

// Work that was abandoned before it finished: cancelled by its owner or superseded by newer work.
// Callers end quietly on it instead of reporting a failure.
class CancellationError : public Error {
public:
    CancellationError();
};

// Writes one line on standard error ("kestrivane: <text>"): for faults of the user's files that
// no window shows.
void reportToStandardError(const QString &text);

} // namespace kestrivane
