#pragma once

#include "platform/Result.h"
#include "services/TranslationError.h"
#include "services/TranslationResponse.h"
#include "services/TranslationService.h"
#include "services/WebApiClient.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

enum class TTSSource;

// One translator's text, language pair and provider, the request on its way and the translation on
// screen. Each request gets the next generation; only the newest one's answer is handed on, so an answer
// for a text, pair or provider that has moved on is dropped. Showing a translation is the step that
// records it: once per new translation, through the recorder (the history, where one is set).
class TranslationSession : public QObject {
    Q_OBJECT
public:
    // How requests go out.
    enum class Sender {
        // Any length, with the trigger source given at construction.
        Direct,
        // Through TranslationManagerService: empty text and text over its limit are refused, trigger
        // source "menu".
        Menu,
    };

    // A request as it was sent, or the translation on screen with what it was made from. Language codes
    // are kept as given.
    struct Translation {
        QString sourceText;
        QString translatedText;
        QString sourceLanguage;
        QString targetLanguage;
        TranslationService service = TranslationService::Google;
        // The request that produced the text; 0 for none (a translation loaded from elsewhere).
        quint64 generation = 0;
    };
    using Outcome = Result<TranslationResponse, TranslationError>;
    // The newest request's answer, with what it was sent with; the session is no longer translating.
    using AnswerHandler = std::function<void(const Translation& sent, const Outcome& outcome)>;
    using Recorder = std::function<void(const Translation&)>;

    explicit TranslationSession(Sender sender, const QString& triggerSource = QString(),
                                QObject* parent = nullptr);
    ~TranslationSession() override;

    QString text() const { return m_text; }
    QString sourceLanguage() const { return m_sourceLanguage; }
    QString targetLanguage() const { return m_targetLanguage; }
    TranslationService service() const { return m_service; }
    // Each returns whether the value changed.
    bool setText(const QString& text);
    bool setSourceLanguage(const QString& code);
    bool setTargetLanguage(const QString& code);
    bool setService(TranslationService service);

    bool isTranslating() const { return m_isTranslating; }
    // The generation of the newest request; 0 before the first.
    quint64 generation() const { return m_generation; }
    // What the running request was sent with; empty when none runs.
    const Translation& sent() const { return m_sent; }

    void setAnswerHandler(AnswerHandler handler) { m_answerHandler = std::move(handler); }
    // Sends the text with the pair and provider; a running request is dropped first. Returns the new
    // generation. The answer reaches the answer handler unless a newer request or drop() comes first.
    quint64 translate();
    // Drops the running request: its answer is never handed on.
    void drop();

    // The translation on screen and the response it came with.
    const Translation& output() const { return m_output; }
    const std::optional<TranslationResponse>& response() const { return m_response; }
    void setRecorder(Recorder recorder) { m_recorder = std::move(recorder); }
    // Shows `output`. A translated text other than the one on screen, or a new request for another text,
    // is recorded when both texts are non-empty, with the pair and provider `output` was made with;
    // showing the same text and translation again records nothing.
    void showOutput(const Translation& output, std::optional<TranslationResponse> response = std::nullopt);
    // A new text for the translation on screen (a rewrite, by `rewriter`): recorded when it differs.
    void replaceOutputText(const QString& text, TranslationService rewriter);
    void clearOutput();
    // Records the translation on screen again, when both its texts are non-empty.
    void record() const;

    // The target becomes the source and `newTarget` the target; a translation on screen becomes the text.
    void swapLanguages(const QString& newTarget);

    // Listen buttons: stop the speech of `source` when it plays, else read the text (in `language`) or
    // the translation (in the target language) aloud for `requester` (the speech service names it when
    // the speech fails).
    void toggleTextSpeech(const QString& language, QObject* requester) const;
    void toggleOutputSpeech(QObject* requester) const;
    static void toggleSpeech(TTSSource source, const QString& text, const QString& language, QObject* requester);

private:
    void cancel(RequestId id) const;
    void answer(quint64 generation, const Outcome& outcome);

    Sender m_sender;
    QString m_triggerSource;
    QString m_text;
    QString m_sourceLanguage;
    QString m_targetLanguage;
    TranslationService m_service = TranslationService::Google;

    bool m_isTranslating = false;
    quint64 m_generation = 0;
    RequestId m_request = 0;
    Translation m_sent;
    AnswerHandler m_answerHandler;

    Translation m_output;
    std::optional<TranslationResponse> m_response;
    Recorder m_recorder;
};
