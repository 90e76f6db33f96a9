#include "platform/UserDefaults.h"

#include "platform/DebugLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>

#include <cmath>

namespace {

QString defaultPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Quillora/Quillora.conf");
}

std::unique_ptr<UserDefaults>& standardInstance() {
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

// INI files keep no types: booleans come back as "true"/"false", numbers as text.
std::optional<bool> parseBool(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    default:
        break;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text.isEmpty())
        return false;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (ok)
        return number != 0.0;
    return std::nullopt;
}

std::optional<double> numberIn(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (ok)
        return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
    if (auto b = parseBool(value))
        return *b ? 1.0 : 0.0;
    return std::nullopt;
}

} // namespace

UserDefaults& UserDefaults::standard() {
    auto& instance = standardInstance();
    if (!instance)
        instance = std::make_unique<UserDefaults>(defaultPath());
    return *instance;
}

void UserDefaults::setStandardFilePath(const QString& path) {
    standardInstance() = std::make_unique<UserDefaults>(path);
}

UserDefaults::UserDefaults(const QString& filePath, QObject* parent) : QObject(parent), m_path(filePath) {
    open();
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::filePath() const {
    return m_path;
}

void UserDefaults::open() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    switch (m_settings->status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        qWarning("UserDefaults: cannot read %s; using defaults", qPrintable(m_path));
        return;
    case QSettings::FormatError: {
        // Keep the unreadable file for the user instead of overwriting it with our next write.
        const QString aside =
            m_path + QStringLiteral(".corrupt-") + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss"));
        m_settings.reset();
        QFile::rename(m_path, aside);
        qWarning("UserDefaults: %s is corrupt; moved it to %s and started from defaults", qPrintable(m_path),
                 qPrintable(aside));
        m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
        return;
    }
    }
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::object(const QString& key) const {
    const QVariant stored = m_settings->value(key);
    if (stored.isValid())
        return stored;
    return m_registered.value(key);
}

std::optional<QString> UserDefaults::optionalString(const QString& key) const {
    const QVariant value = object(key);
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList ||
        value.typeId() == QMetaType::QVariantMap)
        return std::nullopt;
    return value.toString();
}

// A stored value that cannot be read as the asked type (a damaged file) falls back to the registered
// default, so one bad line never turns a setting the user never changed into false or 0.
bool UserDefaults::boolean(const QString& key) const {
    if (auto stored = parseBool(m_settings->value(key)))
        return *stored;
    if (m_settings->contains(key))
        debugLog(QStringLiteral("UserDefaults"), QStringLiteral("⚠️ unreadable boolean under %1").arg(key));
    return parseBool(m_registered.value(key)).value_or(false);
}

double UserDefaults::doubleValue(const QString& key) const {
    for (const QVariant& value : {m_settings->value(key), m_registered.value(key)}) {
        if (const auto number = numberIn(value))
            return *number;
    }
    return 0.0;
}

qint64 UserDefaults::integer(const QString& key) const {
    // Converting a number beyond 64 bits is undefined; from a damaged file it is as unreadable as text.
    constexpr double kLimit = 9.2e18;
    for (const QVariant& value : {m_settings->value(key), m_registered.value(key)}) {
        if (const auto number = numberIn(value); number && std::abs(*number) < kLimit)
            return qint64(*number);
    }
    return 0;
}

QByteArray UserDefaults::data(const QString& key) const {
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUtf8();
    return {};
}

bool UserDefaults::contains(const QString& key) const {
    return m_settings->contains(key);
}

void UserDefaults::set(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        remove(key);
        return;
    }
    m_settings->setValue(key, value);
    flush();
    Q_EMIT changed(key);
}

void UserDefaults::remove(const QString& key) {
    m_settings->remove(key);
    flush();
    Q_EMIT changed(key);
}

void UserDefaults::resetForTesting() {
    m_settings->clear();
    flush();
    m_registered.clear();
}

void UserDefaults::flush() {
    m_settings->sync();
    if (m_settings->status() == QSettings::AccessError)
        debugLog(QStringLiteral("UserDefaults"), QStringLiteral("⚠️ cannot write %1").arg(m_path));
}
