#pragma once

#include "platform/Result.h"
#include "services/Language.h"
#include "services/RewriteResponse.h"
#include "services/TranslationError.h"
#include "services/TranslationResponse.h"
#include "services/TranslationService.h"
#include "services/WebApiClient.h"

#include <QObject>
#include <QString>
#include <functional>

// The menu-bar translator's entry to translation and rewriting, with its stored defaults.
class TranslationManagerService : public QObject {
    Q_OBJECT
public:
    using TranslateCompletion = std::function<void(Result<TranslationResponse, TranslationError>)>;
    using RewriteCompletion = std::function<void(Result<RewriteResponse, TranslationError>)>;

    struct DefaultSettings {
        TranslationService provider = TranslationService::Google;
        Language source;
        Language target;
    };

    // In user-perceived characters (grapheme clusters).
    static constexpr int maximumTextLength = 5000;

    static TranslationManagerService& shared();

    // Refuses empty text and text longer than maximumTextLength, otherwise translates with the provider
    // stored under "defaultTranslationService", trigger source "menu" and process type "translate". The
    // completion runs exactly once, on the main thread on a later turn of the event loop (also for the
    // refusals), unless the request is cancelled or `context` is destroyed first.
    RequestId translate(const QString& text, const Language& source, const Language& target,
                        TranslateCompletion completion, QObject* context = nullptr);
    // The same with the provider given by the caller instead of the stored one.
    RequestId translate(const QString& text, const Language& source, const Language& target,
                        TranslationService provider, TranslateCompletion completion,
                        QObject* context = nullptr);

    // Sends a rewrite of `text` in `style` (a RewriteStyle raw value) to `provider` (a TranslationService
    // raw value; unknown ones mean google) with process type "rewrite". Same completion rules.
    RequestId rewriteText(const QString& text, const QString& style, const QString& provider,
                          const QString& triggerSource, RewriteCompletion completion,
                          QObject* context = nullptr);

    void cancel(RequestId id);

    // Source and target from LanguagePreferences, through the language table; provider from
    // "defaultTranslationService" (google when missing or unknown).
    DefaultSettings loadDefaultSettings() const;
    void saveDefaultSettings(const Language& source, const Language& target, TranslationService provider);

    // The number of grapheme clusters in `text`, counted no further than `limit` + 1.
    static int characterCount(const QString& text, int limit = maximumTextLength);

private:
    TranslationManagerService();
};
