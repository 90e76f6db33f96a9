#include "services/RequestEnvelope.h"

#include "services/AppVersion.h"
#include "services/DeviceInfoService.h"
#include "services/RequestSigner.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLatin1StringView>
#include <algorithm>
#include <array>

namespace {

char hexDigit(uint value) {
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

// Bytes of `text` as a JSON string body, with the escapes QJsonDocument writes: the two-letter ones,
// \u00XX for other controls, \uXXXX for a lone surrogate, UTF-8 for everything else.
qsizetype escapedSize(QStringView text) {
    qsizetype size = 0;
    const char16_t* at = text.utf16();
    const char16_t* const end = at + text.size();
    while (at != end) {
        const char16_t unit = *at++;
        if (unit < 0x80)
            size += unit < 0x20 ? (unit == '\b' || unit == '\f' || unit == '\n' || unit == '\r' || unit == '\t' ? 2 : 6)
                                : (unit == '"' || unit == '\\' ? 2 : 1);
        else if (unit < 0x800)
            size += 2;
        else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            ++at;
            size += 4;
        } else
            size += QChar::isSurrogate(unit) ? 6 : 3;
    }
    return size;
}

void appendString(QByteArray& out, QStringView text) {
    const qsizetype start = out.size();
    out.resize(start + escapedSize(text) + 2);
    char* cursor = out.data() + start;
    *cursor++ = '"';
    const char16_t* at = text.utf16();
    const char16_t* const end = at + text.size();
    const auto escape = [&cursor](char16_t unit) {
        *cursor++ = '\\';
        *cursor++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *cursor++ = hexDigit((unit >> shift) & 0xf);
    };
    while (at != end) {
        const char16_t unit = *at++;
        if (unit < 0x80) {
            if (unit >= 0x20 && unit != '"' && unit != '\\') {
                *cursor++ = char(unit);
                continue;
            }
            switch (unit) {
            case '"': *cursor++ = '\\'; *cursor++ = '"'; break;
            case '\\': *cursor++ = '\\'; *cursor++ = '\\'; break;
            case '\b': *cursor++ = '\\'; *cursor++ = 'b'; break;
            case '\f': *cursor++ = '\\'; *cursor++ = 'f'; break;
            case '\n': *cursor++ = '\\'; *cursor++ = 'n'; break;
            case '\r': *cursor++ = '\\'; *cursor++ = 'r'; break;
            case '\t': *cursor++ = '\\'; *cursor++ = 't'; break;
            default: escape(unit); break;
            }
        } else if (unit < 0x800) {
            *cursor++ = char(0xc0 | (unit >> 6));
            *cursor++ = char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            const char32_t code = QChar::surrogateToUcs4(unit, *at++);
            *cursor++ = char(0xf0 | (code >> 18));
            *cursor++ = char(0x80 | ((code >> 12) & 0x3f));
            *cursor++ = char(0x80 | ((code >> 6) & 0x3f));
            *cursor++ = char(0x80 | (code & 0x3f));
        } else if (QChar::isSurrogate(unit)) {
            escape(unit);
        } else {
            *cursor++ = char(0xe0 | (unit >> 12));
            *cursor++ = char(0x80 | ((unit >> 6) & 0x3f));
            *cursor++ = char(0x80 | (unit & 0x3f));
        }
    }
    *cursor = '"';
}

void appendValue(QByteArray& out, const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::String:
        appendString(out, value.toString());
        break;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        break;
    case QJsonValue::Null:
        out += "null";
        break;
    default: {
        // Numbers and nested values are rare in bodies: the library's own text for them.
        const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        out += QByteArrayView(wrapped).sliced(1, wrapped.size() - 2);
        break;
    }
    }
}

} // namespace

RequestEnvelope RequestEnvelope::make(const QString& triggerSource,
                                      const std::optional<QString>& processType) {
    return make(triggerSource, processType, DeviceInfoService::shared().deviceIdentifier(),
                QDateTime::currentDateTimeUtc().toString(Qt::ISODate), RequestSigner::clientSalt(),
                getAppVersion());
}

RequestEnvelope RequestEnvelope::make(const QString& triggerSource, const std::optional<QString>& processType,
                                      const QString& deviceId, const QString& timestamp,
                                      const QByteArray& salt, const QString& appVersion) {
    RequestEnvelope envelope;
    envelope.deviceId = deviceId;
    envelope.timestamp = timestamp;
    envelope.signature = RequestSigner::signature(deviceId, timestamp, salt);
    envelope.triggerSource = triggerSource;
    envelope.processType = processType;
    envelope.appVersion = appVersion;
    return envelope;
}

void RequestEnvelope::addTo(QJsonObject& body) const {
    body.insert(QStringLiteral("device_id"), deviceId);
    body.insert(QStringLiteral("timestamp"), timestamp);
    body.insert(QStringLiteral("signature"), signature);
    body.insert(QStringLiteral("trigger_source"), triggerSource);
    if (processType)
        body.insert(QStringLiteral("process_type"), *processType);
    else
        body.remove(QStringLiteral("process_type"));
    body.insert(QStringLiteral("app_version"), appVersion);
}

QByteArray RequestEnvelope::encode(const QJsonObject& body) const {
    // A JSON object's keys come out sorted; the envelope's are merged into the body's in that order and
    // replace any of the body's with the same name.
    struct Field {
        QLatin1StringView key;
        const QString* value;
    };
    const std::array<Field, 6> fields{{{QLatin1StringView("app_version"), &appVersion},
                                       {QLatin1StringView("device_id"), &deviceId},
                                       {QLatin1StringView("process_type"), processType ? &*processType : nullptr},
                                       {QLatin1StringView("signature"), &signature},
                                       {QLatin1StringView("timestamp"), &timestamp},
                                       {QLatin1StringView("trigger_source"), &triggerSource}}};
    QByteArray out;
    out.reserve(256);
    out += '{';
    bool first = true;
    const auto separate = [&out, &first] {
        if (!first)
            out += ',';
        first = false;
    };
    auto field = fields.begin();
    const auto writeFieldsBefore = [&](const QString* bodyKey) {
        for (; field != fields.end() && (!bodyKey || QStringView(*bodyKey).compare(field->key) >= 0); ++field) {
            if (!field->value)
                continue;
            separate();
            out += '"';
            out += QByteArrayView(field->key.data(), field->key.size());
            out += "\":";
            appendString(out, *field->value);
        }
    };
    for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
        const QString key = it.key();
        writeFieldsBefore(&key);
        const bool replaced = std::any_of(fields.begin(), fields.end(),
                                          [&key](const Field& f) { return QStringView(key) == f.key; });
        if (replaced)
            continue;
        separate();
        appendString(out, key);
        out += ':';
        appendValue(out, it.value());
    }
    writeFieldsBefore(nullptr);
    out += '}';
    return out;
}
