#pragma once

#include <QString>

// A failed web request, as the user is told about it. Network and server failures carry a detail; a
// server failure also keeps the HTTP status (0 when the failure did not come from an HTTP answer), so
// callers can tell a 5xx from a transport failure.
class TranslationError {
public:
    enum class Kind {
        EmptyText,
        TextTooLong,
        Network,
        Server,
        NoResponse,
        InvalidUrl,
        InvalidResponse,
        DecodingError,
    };

    static TranslationError emptyText();
    static TranslationError textTooLong();
    static TranslationError network(const QString& detail);
    // A network failure because the request ran out of time.
    static TranslationError timedOut();
    static TranslationError server(const QString& detail, int httpStatus = 0);
    static TranslationError noResponse();
    static TranslationError invalidUrl();
    static TranslationError invalidResponse();
    static TranslationError decodingError();

    Kind kind() const { return m_kind; }
    QString detail() const { return m_detail; }
    int httpStatus() const { return m_httpStatus; }
    bool isNetworkError() const { return m_kind == Kind::Network; }
    bool isTimeout() const { return m_timedOut; }
    // A server answer with a 5xx status.
    bool isServerFailure() const {
        return m_kind == Kind::Server && m_httpStatus >= 500 && m_httpStatus < 600;
    }

    // The text shown to the user, e.g. "Network error: Connection refused".
    QString localizedDescription() const;

    bool operator==(const TranslationError& other) const = default;

private:
    TranslationError(Kind kind, QString detail = {}, int httpStatus = 0, bool timedOut = false);

    Kind m_kind;
    QString m_detail;
    int m_httpStatus = 0;
    bool m_timedOut = false;
};
