#include "platform/UserDefaults.h"

#include "platform/DebugLog.h"
#include "platform/IniFormat.h"

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
    // Opening a FIFO for reading blocks until a writer comes, which may be never.
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile()) {
        debugLog(QStringLiteral("UserDefaults"),
                 QStringLiteral("⚠️ %1 is not a regular file; settings are kept in memory only").arg(m_path));
        return;
    }
    IniFormat::takeReadDamage();
    m_settings = std::make_unique<QSettings>(m_path, IniFormat::format());
    switch (m_settings->status()) {
    case QSettings::NoError:
        if (IniFormat::takeReadDamage())
            salvageDamagedFile();
        return;
    case QSettings::AccessError:
        qWarning("UserDefaults: cannot read %s; using defaults", qPrintable(m_path));
        return;
    case QSettings::FormatError:
        salvageDamagedFile();
        return;
    }
}

// Qt has read every value up to the damage: those are kept in a clean file, and the damaged one stays
// beside it for the user.
void UserDefaults::salvageDamagedFile() {
    QVariantMap salvaged;
    for (const QString& key : m_settings->allKeys())
        salvaged.insert(key, m_settings->value(key));
    m_settings.reset();
    const QString aside = m_path + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss"));
    QFile::rename(m_path, aside);
    qWarning("UserDefaults: %s is damaged; kept %lld values, moved it to %s", qPrintable(m_path),
             qlonglong(salvaged.size()), qPrintable(aside));
    m_settings = std::make_unique<QSettings>(m_path, IniFormat::format());
    for (auto it = salvaged.cbegin(); it != salvaged.cend(); ++it)
        m_settings->setValue(it.key(), it.value());
    flush();
}

QVariant UserDefaults::stored(const QString& key) const {
    return m_settings ? m_settings->value(key) : m_memory.value(key);
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::object(const QString& key) const {
    const QVariant value = stored(key);
    if (value.isValid())
        return value;
    return m_registered.value(key);
}

std::optional<QString> UserDefaults::optionalString(const QString& key) const {
    const QVariant value = object(key);
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList items;
        for (const QVariant& item : value.toList()) {
            if (!item.canConvert<QString>())
                return std::nullopt;
            items << item.toString();
        }
        return items.join(QLatin1Char(','));
    }
    if (value.typeId() == QMetaType::QVariantMap || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString();
}

bool UserDefaults::isUnreadableString(const QString& key) const {
    return contains(key) && !optionalString(key);
}

// A stored value that cannot be read as the asked type (a damaged file) falls back to the registered
// default, so one bad line never turns a setting the user never changed into false or 0.
bool UserDefaults::boolean(const QString& key) const {
    if (auto value = parseBool(stored(key)))
        return *value;
    if (contains(key))
        debugLog(QStringLiteral("UserDefaults"), QStringLiteral("⚠️ unreadable boolean under %1").arg(key));
    return parseBool(m_registered.value(key)).value_or(false);
}

double UserDefaults::doubleValue(const QString& key) const {
    for (const QVariant& value : {stored(key), m_registered.value(key)}) {
        if (const auto number = numberIn(value))
            return *number;
    }
    return 0.0;
}

qint64 UserDefaults::integer(const QString& key) const {
    // Converting a number beyond 64 bits is undefined; from a damaged file it is as unreadable as text.
    constexpr double kLimit = 9.2e18;
    for (const QVariant& value : {stored(key), m_registered.value(key)}) {
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

QStringList UserDefaults::allKeys() const {
    // Without a settings file (not a regular file at its path) the values live in memory.
    QStringList keys = m_settings ? m_settings->allKeys() : m_memory.keys();
    for (auto it = m_registered.cbegin(); it != m_registered.cend(); ++it) {
        if (!keys.contains(it.key()))
            keys.append(it.key());
    }
    return keys;
}

bool UserDefaults::contains(const QString& key) const {
    return m_settings ? m_settings->contains(key) : m_memory.contains(key);
}

void UserDefaults::set(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        remove(key);
        return;
    }
    if (m_settings)
        m_settings->setValue(key, value);
    else
        m_memory.insert(key, value);
    flush();
    Q_EMIT changed(key);
}

void UserDefaults::remove(const QString& key) {
    if (m_settings)
        m_settings->remove(key);
    else
        m_memory.remove(key);
    flush();
    Q_EMIT changed(key);
}

void UserDefaults::resetForTesting() {
    if (m_settings)
        m_settings->clear();
    m_memory.clear();
    flush();
    m_registered.clear();
}

void UserDefaults::flush() {
    if (!m_settings)
        return;
    m_settings->sync();
    if (m_settings->status() == QSettings::AccessError)
        debugLog(QStringLiteral("UserDefaults"), QStringLiteral("⚠️ cannot write %1").arg(m_path));
}
