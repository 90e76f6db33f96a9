#include "services/TranslationSession.h"

#include "DevApiTest.h"
#include "TestUtils.h"

#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Translation = TranslationSession::Translation;

class TranslationSessionTest : public DevApiTest {
protected:
    // A session as a view keeps it: every answer handed on is shown.
    std::unique_ptr<TranslationSession> make(TranslationSession::Sender sender = TranslationSession::Sender::Menu,
                                             const QString& trigger = QString()) {
        auto session = std::make_unique<TranslationSession>(sender, trigger);
        TranslationSession* raw = session.get();
        session->setAnswerHandler([this, raw](const Translation& sent, const TranslationSession::Outcome& outcome) {
            m_answers.append({sent, outcome ? outcome.value().translation : outcome.error().localizedDescription()});
            if (outcome) {
                Translation shown = sent;
                shown.translatedText = outcome.value().translation;
                raw->showOutput(shown, outcome.value());
            }
        });
        session->setRecorder([this](const Translation& t) { m_recorded.append(t); });
        session->setText(QStringLiteral("cat"));
        session->setSourceLanguage(QStringLiteral("en"));
        session->setTargetLanguage(QStringLiteral("tr"));
        return session;
    }
    bool settled(TranslationSession& session) {
        const bool done = waitUntil([&] { return !session.isTranslating(); });
        // Past the slow answers' delay: a dropped one would have arrived by now.
        runQueuedWork(500);
        return done;
    }
    int requests() const { return int(s_api->requestLog().size()); }

    struct Answer {
        Translation sent;
        QString text;
    };
    QList<Answer> m_answers;
    QList<Translation> m_recorded;
};

} // namespace

// Each state is reached the way a view reaches it; each event is what a view does next. Only the newest
// request's answer is handed on, and a swap turns the translation on screen into the text.
TEST_F(TranslationSessionTest, StatesAndEvents) {
    enum class State { Idle, Translating, Showing, TranslatingOverOutput };
    enum class Event { Wait, TranslateAgain, Drop, Swap, ChooseProvider };
    struct Case {
        const char* name;
        State state;
        Event event;
        int answers;         // handed on after the event
        const char* sentFrom; // the pair the last answer was sent with
        const char* text;
        const char* source;
        const char* target;
        TranslationService service;
        const char* output;
    } cases[] = {
        {"idle, nothing happens", State::Idle, Event::Wait, 0, "", "cat", "en", "tr", TranslationService::Google, ""},
        {"idle, translate", State::Idle, Event::TranslateAgain, 1, "en", "cat", "en", "tr", TranslationService::Google,
         "kedi"},
        {"idle, drop", State::Idle, Event::Drop, 0, "", "cat", "en", "tr", TranslationService::Google, ""},
        {"idle, swap", State::Idle, Event::Swap, 0, "", "cat", "tr", "en", TranslationService::Google, ""},
        {"idle, provider", State::Idle, Event::ChooseProvider, 0, "", "cat", "en", "tr", TranslationService::DeepL, ""},
        {"translating, answer", State::Translating, Event::Wait, 1, "en", "cat", "en", "tr",
         TranslationService::Google, "kedi"},
        {"translating, again: only the newest", State::Translating, Event::TranslateAgain, 1, "en", "cat", "en", "tr",
         TranslationService::Google, "kedi"},
        {"translating, drop", State::Translating, Event::Drop, 0, "", "cat", "en", "tr", TranslationService::Google,
         ""},
        {"translating, swap: the answer keeps its pair", State::Translating, Event::Swap, 1, "en", "cat", "tr", "en",
         TranslationService::Google, "kedi"},
        {"translating, provider: the request keeps its own", State::Translating, Event::ChooseProvider, 1, "en",
         "cat", "en", "tr", TranslationService::DeepL, "kedi"},
        {"showing, swap: the translation becomes the text", State::Showing, Event::Swap, 0, "", "kedi", "tr", "en",
         TranslationService::Google, ""},
        {"showing, again", State::Showing, Event::TranslateAgain, 1, "en", "cat", "en", "tr",
         TranslationService::Google, "kedi"},
        {"over an output, answer", State::TranslatingOverOutput, Event::Wait, 1, "en", "house", "en", "tr",
         TranslationService::Google, "ev"},
        {"over an output, drop keeps the output", State::TranslatingOverOutput, Event::Drop, 0, "", "house", "en",
         "tr", TranslationService::Google, "kedi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(s_api->resetFailures());
        std::unique_ptr<TranslationSession> session = make();
        if (c.state == State::Showing || c.state == State::TranslatingOverOutput) {
            session->translate();
            ASSERT_TRUE(settled(*session));
            ASSERT_EQ(session->output().translatedText, QStringLiteral("kedi"));
        }
        if (c.state == State::TranslatingOverOutput)
            session->setText(QStringLiteral("house"));
        if (c.state == State::Translating || c.state == State::TranslatingOverOutput) {
            ASSERT_TRUE(s_api->failNext(QStringLiteral("slow"), 1, 300));
            const quint64 generation = session->translate();
            EXPECT_TRUE(session->isTranslating());
            EXPECT_EQ(session->sent().generation, generation);
        }
        m_answers.clear();
        const quint64 before = session->generation();
        switch (c.event) {
        case Event::Wait:
            break;
        case Event::TranslateAgain:
            EXPECT_GT(session->translate(), before);
            break;
        case Event::Drop:
            session->drop();
            EXPECT_FALSE(session->isTranslating());
            EXPECT_TRUE(session->sent().sourceText.isEmpty());
            break;
        case Event::Swap:
            session->swapLanguages(session->sourceLanguage());
            break;
        case Event::ChooseProvider:
            EXPECT_TRUE(session->setService(TranslationService::DeepL));
            EXPECT_FALSE(session->setService(TranslationService::DeepL));
            break;
        }
        ASSERT_TRUE(settled(*session));
        ASSERT_EQ(m_answers.size(), c.answers);
        if (c.answers) {
            EXPECT_EQ(m_answers.last().sent.sourceLanguage, QString::fromUtf8(c.sentFrom));
            EXPECT_EQ(m_answers.last().sent.service, TranslationService::Google);
        }
        EXPECT_EQ(session->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(session->sourceLanguage(), QString::fromUtf8(c.source));
        EXPECT_EQ(session->targetLanguage(), QString::fromUtf8(c.target));
        EXPECT_EQ(session->service(), c.service);
        EXPECT_EQ(session->output().translatedText, QString::fromUtf8(c.output));
        EXPECT_EQ(session->response().has_value(), *c.output != '\0');
    }
}

// Showing a translation is the step that records it: once per new translation (a new text, or a new
// request for another input), never an empty one, with the pair and provider it was made with.
TEST_F(TranslationSessionTest, ShowingRecordsEachNewTranslationOnce) {
    std::unique_ptr<TranslationSession> session = make();
    const auto shown = [](const char* source, const char* translated, quint64 generation) {
        return Translation{QString::fromUtf8(source), QString::fromUtf8(translated), QStringLiteral("en"),
                           QStringLiteral("tr"), TranslationService::Google, generation};
    };
    struct Step {
        const char* name;
        std::function<void(TranslationSession&)> act;
        bool recorded;
        const char* translated;
        TranslationService service;
    } steps[] = {
        {"an answer", [&](TranslationSession& s) { s.showOutput(shown("cat", "kedi", 1)); }, true, "kedi",
         TranslationService::Google},
        {"the same again", [&](TranslationSession& s) { s.showOutput(shown("cat", "kedi", 1)); }, false, "", {}},
        {"the same text from a new request", [&](TranslationSession& s) { s.showOutput(shown("Cat", "kedi", 2)); },
         true, "kedi", TranslationService::Google},
        {"the same input and translation from a new request: the record keeps its time and place",
         [&](TranslationSession& s) { s.showOutput(shown("Cat", "kedi", 3)); }, false, "", {}},
        {"another provider chosen: nothing new shown",
         [](TranslationSession& s) { s.setService(TranslationService::Gemini); }, false, "", {}},
        {"a rewrite, with the provider it was sent to rather than the one chosen now",
         [](TranslationSession& s) {
             s.replaceOutputText(QStringLiteral("[casual] kedi"), TranslationService::ChatGPT);
         },
         true, "[casual] kedi", TranslationService::ChatGPT},
        {"a rewrite to the same text",
         [](TranslationSession& s) {
             s.replaceOutputText(QStringLiteral("[casual] kedi"), TranslationService::ChatGPT);
         },
         false, "", {}},
        {"an empty answer", [&](TranslationSession& s) { s.showOutput(shown("cat", "", 3)); }, false, "", {}},
        {"no source text", [&](TranslationSession& s) { s.showOutput(shown("", "kedi", 4)); }, false, "", {}},
        {"cleared", [](TranslationSession& s) { s.clearOutput(); }, false, "", {}},
        {"a loaded translation, with its own provider rather than the one chosen",
         [&](TranslationSession& s) { s.showOutput(shown("book", "kitap", 0)); }, true, "kitap",
         TranslationService::Google},
        {"loaded again", [&](TranslationSession& s) { s.showOutput(shown("book", "kitap", 0)); }, false, "", {}},
        {"recorded again (the translator shown anew)", [](TranslationSession& s) { s.record(); }, true, "kitap",
         TranslationService::Google},
        {"a swap", [](TranslationSession& s) { s.swapLanguages(QStringLiteral("en")); }, false, "", {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const qsizetype before = m_recorded.size();
        step.act(*session);
        ASSERT_EQ(m_recorded.size(), before + (step.recorded ? 1 : 0));
        if (!step.recorded)
            continue;
        const Translation& recorded = m_recorded.last();
        EXPECT_EQ(recorded.translatedText, QString::fromUtf8(step.translated));
        EXPECT_EQ(recorded.sourceLanguage, QStringLiteral("en"));
        EXPECT_EQ(recorded.targetLanguage, QStringLiteral("tr"));
        EXPECT_EQ(recorded.service, step.service);
    }
    EXPECT_EQ(m_recorded.size(), 5);

    // Without a recorder (the floating bar's and the shortcuts' popover) nothing is recorded.
    session->setRecorder({});
    session->showOutput(shown("pen", "kalem", 9));
    EXPECT_EQ(session->output().translatedText, QStringLiteral("kalem"));
    EXPECT_EQ(m_recorded.size(), 5);
}

// The tray translator's requests go through the service with its limits and trigger source; the
// popover's go out directly, any length, with the trigger source it was opened by.
TEST_F(TranslationSessionTest, EachSenderKeepsItsRules) {
    struct Case {
        TranslationSession::Sender sender;
        const char* trigger;
        QString text;
        bool sent;
        const char* expectedTrigger;
        const char* refusal;
    } cases[] = {
        {TranslationSession::Sender::Menu, "", QString(5000, u'a'), true, "menu", ""},
        {TranslationSession::Sender::Menu, "", QString(5001, u'a'), false, "", "Translation text is too long"},
        {TranslationSession::Sender::Menu, "", QString(), false, "", "Translation text cannot be empty"},
        {TranslationSession::Sender::Direct, "floating_bar", QString(5001, u'a'), true, "floating_bar", ""},
        {TranslationSession::Sender::Direct, "shortcut", QStringLiteral("cat"), true, "shortcut", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        std::unique_ptr<TranslationSession> session = make(c.sender, QString::fromUtf8(c.trigger));
        session->setText(c.text);
        m_answers.clear();
        const int before = requests();
        session->translate();
        ASSERT_TRUE(settled(*session));
        ASSERT_EQ(m_answers.size(), 1);
        EXPECT_EQ(requests(), before + (c.sent ? 1 : 0));
        if (c.sent) {
            const QJsonObject body = s_api->lastRequest().value("body").toObject();
            EXPECT_EQ(body.value("trigger_source").toString(), QString::fromUtf8(c.expectedTrigger));
            EXPECT_EQ(body.value("process_type").toString(), QStringLiteral("translate"));
            EXPECT_EQ(body.value("text").toString().size(), c.text.size());
        } else {
            EXPECT_EQ(m_answers.last().text, QString::fromUtf8(c.refusal));
        }
    }
}
