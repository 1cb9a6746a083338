#include "TestSupport/SecretTool.h"

#include <QProcess>
#include <QRegularExpression>

namespace kestrivane::test {

SecretToolResult runProgram(const QString &program, const QStringList &arguments, const QByteArray &input,
                            const QProcessEnvironment &environment)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

SecretToolResult secretTool(const QStringList &arguments, const QByteArray &input)
{
    return runProgram(QStringLiteral("secret-tool"), arguments, input);
}

std::optional<QByteArray> keyringSecret(const QString &service, const QString &account)
{
    const SecretToolResult result = secretTool(
        {QStringLiteral("lookup"), QStringLiteral("service"), service, QStringLiteral("account"), account});
    if (result.exitCode != 0)
        return std::nullopt;
    return result.output;
}

QStringList keyringAccounts(const QString &service)
{
    // "secret-tool search --all" writes each item's attributes to its error stream, as
    // "attribute.account = <value>" lines.
    const SecretToolResult result =
        secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"), service});
    static const QRegularExpression accountLine(QStringLiteral("^attribute\\.account = (.*)$"),
                                                QRegularExpression::MultilineOption);
    QStringList accounts;
    for (auto match = accountLine.globalMatch(QString::fromUtf8(result.errors)); match.hasNext();)
        accounts << match.next().captured(1);
    accounts.sort();
    return accounts;
}

void clearKeyringService(const QString &service)
{
    secretTool({QStringLiteral("clear"), QStringLiteral("service"), service});
}

} // namespace kestrivane::test
