#include "services/TranslationError.h"

TranslationError::TranslationError(Kind kind, QString detail, int httpStatus, bool timedOut)
    : m_kind(kind)
    , m_detail(std::move(detail))
    , m_httpStatus(httpStatus)
    , m_timedOut(timedOut) {}

TranslationError TranslationError::emptyText() {
    return TranslationError(Kind::EmptyText);
}
TranslationError TranslationError::textTooLong() {
    return TranslationError(Kind::TextTooLong);
}
TranslationError TranslationError::network(const QString& detail) {
    return TranslationError(Kind::Network, detail);
}
TranslationError TranslationError::timedOut() {
    return TranslationError(Kind::Network, QStringLiteral("The request timed out."), 0, true);
}
TranslationError TranslationError::server(const QString& detail, int httpStatus) {
    return TranslationError(Kind::Server, detail, httpStatus);
}
TranslationError TranslationError::noResponse() {
    return TranslationError(Kind::NoResponse);
}
TranslationError TranslationError::invalidUrl() {
    return TranslationError(Kind::InvalidUrl);
}
TranslationError TranslationError::invalidResponse() {
    return TranslationError(Kind::InvalidResponse);
}
TranslationError TranslationError::decodingError() {
    return TranslationError(Kind::DecodingError);
}

QString TranslationError::localizedDescription() const {
    switch (m_kind) {
    case Kind::EmptyText:
        return QStringLiteral("Translation text cannot be empty");
    case Kind::TextTooLong:
        return QStringLiteral("Translation text is too long");
    case Kind::Network:
        return QStringLiteral("Network error: ") + m_detail;
    case Kind::Server:
        return QStringLiteral("Server error: ") + m_detail;
    case Kind::NoResponse:
        return QStringLiteral("No response received from translation service");
    case Kind::InvalidUrl:
        return QStringLiteral("Invalid URL configuration.");
    case Kind::InvalidResponse:
        return QStringLiteral("Invalid response from the server.");
    case Kind::DecodingError:
        return QStringLiteral("Error processing server response.");
    }
    return {};
}
