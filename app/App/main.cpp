#include "Support/BundleInfo.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const auto &info = kestrivane::BundleInfo::main();
    QTextStream(stdout) << "Kestrivane " << info.shortVersion() << " (" << info.buildNumber() << ")\n";
    return 0;
}
