#include "Support/UserDefaults.h"

#include "Support/BundleInfo.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>

namespace kestrivane {

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

std::optional<double> UserDefaults::number(const QString &key) const
{
    const QVariant v = object(key);
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toDouble();
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> UserDefaults::data(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

std::optional<QStringList> UserDefaults::stringArray(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList result;
    for (const QVariant &element : v.toList()) {
        if (element.typeId() != QMetaType::QString)
            return std::nullopt;
        result.append(element.toString());
    }
    return result;
}

void UserDefaults::setStringArray(const QString &key, const QStringList &values)
{
    QVariantList list;
    list.reserve(values.size());
    for (const QString &value : values)
        list.append(value);
    set(key, list);
}

// --- JSON settings format -------------------------------------------------------------------
//
// QSettings' own INI format loses the kind of a value (numbers come back as text, an empty list
// as nothing), so the file is JSON: texts, numbers, Booleans and arrays map to their JSON kinds;
// a data value is an object {"data": "<base64>"}.

namespace {

QJsonValue toJson(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return QJsonObject{{QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &element : value.toList())
            array.append(toJson(element));
        return array;
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}

QVariant fromJson(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        const QJsonValue data = object.value(QStringLiteral("data"));
        if (object.size() == 1 && data.isString())
            return QByteArray::fromBase64(data.toString().toLatin1());
        return {};
    }
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue &element : value.toArray())
            list.append(fromJson(element));
        return list;
    }
    case QJsonValue::Double:
        return value.toDouble();
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::String:
        return value.toString();
    default:
        return {};
    }
}

bool readJson(QIODevice &device, QSettings::SettingsMap &map)
{
    const QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QVariant value = fromJson(it.value());
        if (value.isValid())
            map.insert(it.key(), value);
    }
    return true;
}

bool writeJson(QIODevice &device, const QSettings::SettingsMap &map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), toJson(it.value()));
    return device.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) >= 0;
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("json"), readJson, writeJson);
    return format;
}

QString domainPath(const QString &domain)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kestrivane");
    return folder + QLatin1Char('/') + domain + QStringLiteral(".json");
}

} // namespace

SettingsUserDefaults::SettingsUserDefaults(const QString &domain) : SettingsUserDefaults(PathTag{}, domainPath(domain)) {}

SettingsUserDefaults::SettingsUserDefaults(PathTag, const QString &filePath)
    : settings_(std::make_unique<QSettings>(filePath, jsonFormat()))
{
    settings_->setAtomicSyncRequired(true);
}

std::unique_ptr<SettingsUserDefaults> SettingsUserDefaults::atPath(const QString &filePath)
{
    return std::unique_ptr<SettingsUserDefaults>(new SettingsUserDefaults(PathTag{}, filePath));
}

SettingsUserDefaults::~SettingsUserDefaults() = default;

std::unique_ptr<UserDefaults> SettingsUserDefaults::open(const std::optional<QString> &suiteName)
{
    return std::make_unique<SettingsUserDefaults>(suiteName.value_or(BundleInfo::main().bundleIdentifier()));
}

QVariant SettingsUserDefaults::object(const QString &key) const
{
    return settings_->value(key);
}

void SettingsUserDefaults::set(const QString &key, const QVariant &value)
{
    settings_->setValue(key, value);
    settings_->sync();
}

void SettingsUserDefaults::remove(const QString &key)
{
    settings_->remove(key);
    settings_->sync();
}

QString SettingsUserDefaults::filePath() const
{
    return settings_->fileName();
}

} // namespace kestrivane
