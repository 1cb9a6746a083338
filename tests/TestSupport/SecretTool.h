#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrivane::test {

// The keyring as its own command-line client (secret-tool) sees it, so checks do not go through
// our code. Needs the Secret Service of the test session.
struct SecretToolResult {
    int exitCode = -1; // -1: secret-tool did not start, crashed or timed out
    QByteArray output;
    QByteArray errors; // "search" writes the attributes here
};

SecretToolResult secretTool(const QStringList &arguments, const QByteArray &input = {});

// Runs `program` to its end (10 s at most) with `input` on its standard input, in `environment`
// (the process's own when empty).
SecretToolResult runProgram(const QString &program, const QStringList &arguments, const QByteArray &input = {},
                            const QProcessEnvironment &environment = {});

// The secret of the item with these "service" and "account" attributes; nullopt when there is none.
std::optional<QByteArray> keyringSecret(const QString &service, const QString &account);

// The "account" attributes of every item with this "service" attribute, sorted.
QStringList keyringAccounts(const QString &service);

// Removes every item with this "service" attribute.
void clearKeyringService(const QString &service);

} // namespace kestrivane::test
