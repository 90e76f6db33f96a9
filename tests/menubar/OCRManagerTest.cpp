// The hand-off of recognised screen text, and the OCR road from the translator's own button, with the
// fake platform's capture and clipboard against the dev API.
#include "menubar/OCRManager.h"

#include "DevApiTest.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "menubar/MenuBarManager.h"
#include "menubar/translator/MenuBarView.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "ui/GlobalToastManager.h"
#include "ui/GlobalToastPanel.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kRecognised = QStringLiteral("Recognised text from the Quillora dev API");

class OCRManagerTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        m_menuBar = std::make_unique<MenuBarManager>();
        m_ocr = std::make_unique<OCRManager>(*m_menuBar);
        m_observer = std::make_unique<QObject>();
        NotificationCenter& center = NotificationCenter::shared();
        center.addObserver(Notifications::SetTranslationInput, m_observer.get(),
                           [this](const QVariantMap& info) {
                               m_inputs.append(info.value(QStringLiteral("text")).toString());
                               m_popoverShownAtInput = m_menuBar->isPopoverShown();
                           });
        center.addObserver(Notifications::ShowInlineAlert, m_observer.get(),
                           [this](const QVariantMap& info) {
                               m_alerts.append({info.value(QStringLiteral("message")).toString(),
                                                info.value(QStringLiteral("type")).toString()});
                           });
    }
    void TearDown() override {
        // A toast still on screen would outlive the test.
        delete GlobalToastManager::shared().panel();
        m_observer.reset();
        m_ocr.reset();
        m_menuBar.reset();
    }

    std::unique_ptr<MenuBarManager> m_menuBar;
    std::unique_ptr<OCRManager> m_ocr;
    std::unique_ptr<QObject> m_observer;
    QStringList m_inputs;
    QList<QPair<QString, QString>> m_alerts;
    bool m_popoverShownAtInput = false;
};

} // namespace

TEST_F(OCRManagerTest, HandsOffEachOutcomeAndOpensThePopover) {
    struct Case {
        const char* name;
        QVariantMap userInfo;
        QString input; // empty: no hand-off of text
        QPair<QString, QString> alert;
    };
    const QString captureFailed = QStringLiteral("Ekran görüntüsü alınamadı");
    const QList<Case> cases = {
        {"text",
         {{"text", QStringLiteral("Hello OCR")}, {"ocrID", QStringLiteral("id-1")}},
         QStringLiteral("Hello OCR"),
         {}},
        {"failure with its message",
         {{"text", QString()}, {"error", captureFailed}},
         {},
         {captureFailed, "error"}},
        {"failure with an empty message",
         {{"text", QStringLiteral("ignored")}, {"error", QString()}},
         {},
         {OCRManager::failureMessage(QString()), "error"}},
        {"empty text",
         {{"text", QString()}, {"ocrID", QStringLiteral("id-2")}},
         {},
         {OCRManager::noTextMessage(), "warning"}},
        {"text that is no string", {{"text", 42}}, {}, {OCRManager::noTextMessage(), "warning"}},
        {"no user info", {}, {}, {OCRManager::noTextMessage(), "warning"}},
    };
    FakePasteboard& pasteboard = fakePlatform().fakePasteboard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_menuBar->requestClose(MenuBarManager::CloseReason::Escape);
        ASSERT_TRUE(waitUntil([&] { return !m_menuBar->isPopoverShown(); }));
        m_inputs.clear();
        m_alerts.clear();
        pasteboard.setString(QStringLiteral("before"));

        NotificationCenter::shared().post(Notifications::OCRCompleted, c.userInfo);
        if (c.input.isEmpty()) {
            EXPECT_TRUE(m_inputs.isEmpty());
            EXPECT_EQ(pasteboard.currentString(), QStringLiteral("before"));
            ASSERT_EQ(m_alerts.size(), 1);
            EXPECT_EQ(m_alerts.first(), c.alert);
        } else {
            EXPECT_EQ(m_inputs, QStringList{c.input});
            EXPECT_FALSE(m_popoverShownAtInput);
            EXPECT_EQ(pasteboard.currentString(), c.input);
            EXPECT_TRUE(m_alerts.isEmpty());
            EXPECT_TRUE(waitUntil([] {
                GlobalToastPanel* panel = GlobalToastManager::shared().panel();
                return panel && panel->message() == QStringLiteral("Copied to clipboard");
            }));
        }
        EXPECT_TRUE(waitUntil([&] { return m_menuBar->isPopoverShown(); }));
    }
}

TEST_F(OCRManagerTest, TheTranslatorsOcrButtonFillsTheInputAndTranslatesOnce) {
    QImage region(240, 80, QImage::Format_ARGB32);
    region.fill(Qt::white);
    QPainter(&region).fillRect(10, 10, 100, 30, Qt::black);
    fakePlatform().fakeScreenCapture().nextCapture = region;

    MenuBarView* view = m_menuBar->view();
    if (!view) {
        m_menuBar->showPopover();
        view = m_menuBar->view();
    }
    ASSERT_NE(view, nullptr);
    NotificationCenter::shared().post(Notifications::StartOCRCapture);
    EXPECT_TRUE(view->isCapturingScreen());
    ASSERT_TRUE(
        waitUntil([&] { return !view->translatedText().isEmpty() && !view->isTranslating(); }, 15000));
    EXPECT_FALSE(view->isCapturingScreen());
    EXPECT_EQ(view->inputText(), kRecognised);
    EXPECT_EQ(view->translatedText().contains(kRecognised), true);
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), kRecognised);
    EXPECT_TRUE(waitUntil([&] { return m_menuBar->isPopoverShown(); }));

    // The hand-off and the button's own result both carry the text: it is translated once. A second
    // translation would have started once the hand-off's delay passed, and ended since.
    runQueuedWork(MenuBarManager::handOverDelayMs);
    EXPECT_TRUE(waitUntil([&] { return !view->isTranslating(); }, 15000));
    runQueuedWork();
    int translations = 0;
    for (const QJsonObject& entry : s_api->requestLog())
        translations +=
            entry.value(QStringLiteral("path")).toString().startsWith(QStringLiteral("/api/translate/"));
    EXPECT_EQ(translations, 1);
    EXPECT_EQ(m_inputs, QStringList{kRecognised});
}
