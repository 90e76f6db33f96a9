#include "services/TranslationSession.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "services/Language.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"
#include "services/TranslationManager.h"
#include "services/TranslationManagerService.h"

#include <QPointer>

namespace {

// The service reads only the code: one outside the table is sent as it is.
Language withCode(const QString& code) {
    return Language{{}, code, code};
}

} // namespace

TranslationSession::TranslationSession(Sender sender, const QString& triggerSource, QObject* parent)
    : QObject(parent)
    , m_sender(sender)
    , m_triggerSource(triggerSource) {}

TranslationSession::~TranslationSession() {
    if (m_request)
        cancel(m_request);
}

bool TranslationSession::setText(const QString& text) {
    if (text == m_text)
        return false;
    m_text = text;
    return true;
}

bool TranslationSession::setSourceLanguage(const QString& code) {
    if (code == m_sourceLanguage)
        return false;
    m_sourceLanguage = code;
    return true;
}

bool TranslationSession::setTargetLanguage(const QString& code) {
    if (code == m_targetLanguage)
        return false;
    m_targetLanguage = code;
    return true;
}

bool TranslationSession::setService(TranslationService service) {
    if (service == m_service)
        return false;
    m_service = service;
    return true;
}

void TranslationSession::cancel(RequestId id) const {
    if (m_sender == Sender::Menu)
        TranslationManagerService::shared().cancel(id);
    else
        TranslationManager::shared().cancel(id);
}

quint64 TranslationSession::translate() {
    drop();
    const quint64 generation = ++m_generation;
    m_isTranslating = true;
    m_sent = {m_text, QString(), m_sourceLanguage, m_targetLanguage, m_service, generation};
    QPointer<TranslationSession> self(this);
    auto completion = [self, generation](const Outcome& outcome) {
        if (self)
            self->answer(generation, outcome);
    };
    RequestId id = 0;
    if (m_sender == Sender::Menu) {
        id = TranslationManagerService::shared().translate(m_text, withCode(m_sourceLanguage),
                                                           withCode(m_targetLanguage), m_service,
                                                           std::move(completion), this);
    } else {
        id = TranslationManager::shared().translateText(m_text, m_sourceLanguage, m_targetLanguage, m_service,
                                                        m_triggerSource, QStringLiteral("translate"),
                                                        std::move(completion), this);
    }
    // An answer given at once has already ended the request.
    if (m_isTranslating && m_generation == generation)
        m_request = id;
    return generation;
}

void TranslationSession::drop() {
    if (!m_isTranslating)
        return;
    if (m_request)
        cancel(m_request);
    m_request = 0;
    m_sent = {};
    ++m_generation;
    m_isTranslating = false;
}

void TranslationSession::answer(quint64 generation, const Outcome& outcome) {
    if (generation != m_generation || !m_isTranslating) {
        debugLog(QStringLiteral("TranslationSession"), QStringLiteral("🗑️ Eski çeviri yanıtı yok sayıldı"));
        return;
    }
    const Translation sent = m_sent;
    m_request = 0;
    m_sent = {};
    m_isTranslating = false;
    if (m_answerHandler)
        m_answerHandler(sent, outcome);
}

void TranslationSession::showOutput(const Translation& output, std::optional<TranslationResponse> response) {
    // A new request for the text on screen that answers the translation on screen adds nothing: its
    // record keeps its time and place. Another text with the same translation is recorded.
    const bool isNew = output.translatedText != m_output.translatedText ||
                       (output.generation != m_output.generation && output.sourceText != m_output.sourceText);
    m_output = output;
    m_response = std::move(response);
    if (isNew)
        record();
}

void TranslationSession::replaceOutputText(const QString& text, TranslationService rewriter) {
    if (text == m_output.translatedText)
        return;
    m_output.translatedText = text;
    m_output.service = rewriter;
    record();
}

void TranslationSession::clearOutput() {
    m_output = {};
    m_response.reset();
}

void TranslationSession::record() const {
    if (!m_recorder || m_output.translatedText.isEmpty() || m_output.sourceText.isEmpty())
        return;
    m_recorder(m_output);
}

void TranslationSession::swapLanguages(const QString& newTarget) {
    m_sourceLanguage = m_targetLanguage;
    m_targetLanguage = newTarget;
    if (!m_output.translatedText.isEmpty()) {
        m_text = m_output.translatedText;
        // Its response (alternatives, examples) belongs to nothing on screen any more.
        clearOutput();
    }
}

void TranslationSession::toggleTextSpeech(const QString& language, QObject* requester) const {
    toggleSpeech(TTSSource::Input, m_text, language, requester);
}

void TranslationSession::toggleOutputSpeech(QObject* requester) const {
    toggleSpeech(TTSSource::Output, m_output.translatedText, m_targetLanguage, requester);
}

void TranslationSession::toggleSpeech(TTSSource source, const QString& text, const QString& language,
                                      QObject* requester) {
    TextToSpeechService& tts = TextToSpeechService::shared();
    if (!tts.isPlaying(source)) {
        tts.speak(text, language, false, source, requester);
        return;
    }
    if (AudioPlayer* player = tts.audioPlayer())
        player->stop();
    MainQueue::async([] { TextToSpeechService::shared().resetPlaybackState(); });
}
