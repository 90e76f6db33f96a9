#pragma once

#include "platform/Result.h"
#include "services/TranslationError.h"
#include "services/TranslationResponse.h"
#include "services/TranslationService.h"
#include "services/WebApiClient.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

// Translates through the web API, and routes the app-wide translation notifications.
class TranslationManager : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(Result<TranslationResponse, TranslationError>)>;
    // Receives the text and the two language codes of a "TranslateSelectedText" notification.
    using SelectedTextReceiver = std::function<void(const QString& text, const QString& sourceLanguage,
                                                    const QString& targetLanguage)>;

    static constexpr int timeoutMs = WebApiClient::defaultTimeoutMs;

    static TranslationManager& shared();

    // Signs and sends the text to the translate endpoint of `provider`. No length check. The completion
    // runs exactly once on the main thread with the decoded answer or the error, unless the request is
    // cancelled or `context` is destroyed first.
    RequestId translateText(const QString& text, const QString& from, const QString& to,
                            TranslationService provider, const QString& triggerSource,
                            const QString& processType, Completion completion, QObject* context = nullptr);
    void cancel(RequestId id);

    // True while a translateText() request is outstanding.
    bool isTranslating() const { return !m_active.isEmpty(); }

    bool isListeningForNotifications() const { return m_isListeningForNotifications; }
    // Observes "TranslateSelectedText" and "TranslateWithTriggerSource". Only the first call registers.
    void startListeningForNotifications();

    // The menu-bar side installs its handler here when it is created; without one the selected text is
    // dropped.
    void setSelectedTextReceiver(SelectedTextReceiver receiver);

    void handleTranslateSelectedText(const QVariantMap& userInfo);
    void handleTranslateWithTriggerSource(const QVariantMap& userInfo);

private:
    TranslationManager();

    // Outstanding requests, with the connection that cancels each when its caller's context goes away.
    QHash<RequestId, QMetaObject::Connection> m_active;
    bool m_isListeningForNotifications = false;
    SelectedTextReceiver m_selectedTextReceiver;
};
