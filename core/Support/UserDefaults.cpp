#include "Support/UserDefaults.h"

#include "Support/BundleInfo.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

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

// --- JSON settings file ---------------------------------------------------------------------
//
// Texts, numbers, Booleans and arrays map to their JSON kinds; a data value is an object
// {"data": "<base64>"}.

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

QString domainPath(const QString &domain)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kestrivane");
    return folder + QLatin1Char('/') + domain + QStringLiteral(".json");
}

} // namespace

SettingsUserDefaults::SettingsUserDefaults(const QString &domain, Report report)
    : SettingsUserDefaults(PathTag{}, domainPath(domain), std::move(report))
{
}

SettingsUserDefaults::SettingsUserDefaults(PathTag, QString filePath, Report report)
    : path_(std::move(filePath))
    , report_(std::move(report))
{
    read(&unreadable_);
}

std::unique_ptr<SettingsUserDefaults> SettingsUserDefaults::atPath(const QString &filePath, Report report)
{
    return std::unique_ptr<SettingsUserDefaults>(new SettingsUserDefaults(PathTag{}, filePath, std::move(report)));
}

SettingsUserDefaults::~SettingsUserDefaults()
{
    if (!unsaved_.isEmpty())
        save();
}

std::unique_ptr<UserDefaults> SettingsUserDefaults::open(const std::optional<QString> &suiteName)
{
    return std::make_unique<SettingsUserDefaults>(suiteName.value_or(BundleInfo::main().bundleIdentifier()));
}

QVariant SettingsUserDefaults::object(const QString &key) const
{
    return values_.value(key);
}

void SettingsUserDefaults::set(const QString &key, const QVariant &value)
{
    change(key, value);
}

void SettingsUserDefaults::remove(const QString &key)
{
    change(key, std::nullopt);
}

QString SettingsUserDefaults::filePath() const
{
    return path_;
}

SettingsUserDefaults::Stamp SettingsUserDefaults::stampOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {true, quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

bool SettingsUserDefaults::read(QString *fault)
{
    fault->clear();
    stamp_ = stampOf(path_);
    QMap<QString, QVariant> values;
    if (stamp_.exists) {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly)) {
            *fault = file.errorString();
            return false;
        }
        const QByteArray bytes = file.readAll();
        if (!bytes.trimmed().isEmpty()) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
            if (error.error != QJsonParseError::NoError) {
                *fault = QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset);
                return false;
            }
            if (!document.isObject()) {
                *fault = QStringLiteral("not a JSON object");
                return false;
            }
            const QJsonObject object = document.object();
            for (auto it = object.begin(); it != object.end(); ++it) {
                const QVariant value = fromJson(it.value());
                if (value.isValid())
                    values.insert(it.key(), value);
            }
        }
    }
    values_ = std::move(values);
    return true;
}

void SettingsUserDefaults::change(const QString &key, const std::optional<QVariant> &value)
{
    if (value)
        values_.insert(key, *value);
    else
        values_.remove(key);
    unsaved_.insert(key, value);
    save();
}

void SettingsUserDefaults::save()
{
    // The file changed since it was last read or written (another domain on it wrote, or someone
    // mended it): what it holds now stays, with this domain's changes on top.
    if (stampOf(path_) != stamp_) {
        const QMap<QString, QVariant> ours = values_;
        if (read(&unreadable_)) {
            for (auto it = unsaved_.cbegin(); it != unsaved_.cend(); ++it) {
                if (it.value())
                    values_.insert(it.key(), *it.value());
                else
                    values_.remove(it.key());
            }
        } else {
            values_ = ours;
        }
    }

    QString problem = unreadable_.isEmpty() ? QString() : keepUnreadableFile();
    if (problem.isEmpty())
        problem = write();
    if (problem.isEmpty()) {
        unsaved_.clear();
        failing_ = false;
        return;
    }
    if (!failing_ && report_)
        report_(QStringLiteral("cannot save the settings to %1 (%2); the changes are kept while Kestrivane runs and saved "
                               "with the next change once the file can be written")
                    .arg(path_, problem));
    failing_ = true;
}

QString SettingsUserDefaults::keepUnreadableFile()
{
    const QFileInfo original(path_);
    const QString stem = original.dir().filePath(original.completeBaseName() + QStringLiteral(".corrupt-") +
                                                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString copy = stem + QStringLiteral(".json");
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = stem + QStringLiteral("-%1.json").arg(n);
    QFile file(path_);
    if (!file.copy(copy))
        return QStringLiteral("it could not be read (%1) and could not be copied aside: %2").arg(unreadable_, file.errorString());
    if (report_)
        report_(QStringLiteral("the settings file %1 could not be read (%2); it is kept as %3 and replaced by a new one")
                    .arg(path_, unreadable_, copy));
    unreadable_.clear();
    return {};
}

QString SettingsUserDefaults::write()
{
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
    // A file without write permission is not replaced, also by root, who could.
    constexpr QFileDevice::Permissions writable = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && !(info.permissions() & writable))
        return QStringLiteral("the file is read-only");
    QJsonObject object;
    for (auto it = values_.cbegin(); it != values_.cend(); ++it)
        object.insert(it.key(), toJson(it.value()));
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        return file.errorString();
    stamp_ = stampOf(path_);
    return {};
}

} // namespace kestrivane
