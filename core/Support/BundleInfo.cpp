#include "Support/BundleInfo.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace kestrivane {

const BundleInfo &BundleInfo::main()
{
    static const BundleInfo info = [] {
        QFile file(resourceRoot + QStringLiteral("/Info.json"));
        if (!file.open(QIODevice::ReadOnly))
            return BundleInfo();
        return BundleInfo(QJsonDocument::fromJson(file.readAll()).object().toVariantMap());
    }();
    return info;
}

QString BundleInfo::text(const QString &key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

} // namespace kestrivane
