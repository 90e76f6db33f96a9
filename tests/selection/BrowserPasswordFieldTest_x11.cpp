// A real browser on a desktop with an accessibility bus: what its password field holds is never read,
// while its other fields are, before and after.
#include "PrivateAccessibilityBus.h"
#include "SelectionReads.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/AccessibilityBus.h"
#include "platform/Pasteboard.h"
#include "platform/x11/X11Platform.h"
#include "selection/AccessibilityService.h"
#include "selection/SelectionMonitor.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kPassword = QStringLiteral("hunter2secret");

// Two tall fields, so that where they are does not depend on the browser's bars above the page.
const char kPage[] = R"(<!doctype html><html><body style="margin:0">
<input type="password" value="hunter2secret" style="position:absolute;left:20px;top:100px;width:600px;height:120px;font-size:48px">
<input type="text" value="morning evening" style="position:absolute;left:20px;top:300px;width:600px;height:120px;font-size:48px">
</body></html>)";

QStringList at(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

class BrowserPasswordFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
            GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh)";
        m_desktop = std::make_unique<PrivateAccessibilityBus>();
        ASSERT_TRUE(m_desktop->isRunning());
        installPlatform(std::make_unique<X11Platform>());
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_profile.isValid());
        QFile page(m_profile.filePath(QStringLiteral("page.html")));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write(kPage);
        page.close();

        // As a desktop with a screen reader running starts it.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ACCESSIBILITY_ENABLED"), QStringLiteral("1"));
        m_browser.setProcessEnvironment(environment);
        m_browser.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_browser.setStandardErrorFile(QProcess::nullDevice());
        m_browser.start(QStringLiteral("chromium"),
                        {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                         QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                         QStringLiteral("--force-renderer-accessibility"),
                         QStringLiteral("--user-data-dir=") + m_profile.filePath(QStringLiteral("profile")),
                         QStringLiteral("--window-position=0,0"), QStringLiteral("--window-size=900,700"),
                         QStringLiteral("file://") + page.fileName()});
        ASSERT_TRUE(m_browser.waitForStarted());
        // Ready once its page is on the accessibility bus with the password field focused. Clicked away
        // from where the tests click, so that their clicks start a run of their own however soon they come.
        ASSERT_TRUE(waitUntil(
            [&] {
                xdo(at(m_password + QPoint(60, 0)) + QStringList{QStringLiteral("click"), QStringLiteral("1")});
                std::optional<std::optional<FocusedElement>> answer;
                platform().accessibilityBus()->queryFocusedElement(
                    m_browser.processId(), m_password, 1000, [&](std::optional<FocusedElement> e) { answer = e; });
                waitUntil([&] { return answer.has_value(); }, 3000);
                return answer && *answer && (*answer)->isProtected;
            },
            60000));
        m_monitor = std::make_unique<SelectionMonitor>(m_reader);
        m_monitor->onSelectionChanged = [this](const QString& text, const QRect&, const QString&, bool editable) {
            m_reports.append({text, editable});
        };
        m_reads.watch(*m_monitor);
    }
    void TearDown() override {
        m_monitor.reset();
        if (m_browser.state() != QProcess::NotRunning) {
            m_browser.terminate();
            if (!m_browser.waitForFinished(10000))
                m_browser.kill();
            m_browser.waitForFinished(5000);
        }
        m_desktop.reset();
    }

    // With `delayMs` between the clicks; one so short that the browser has not moved its focus yet when
    // the gesture ends.
    void doubleClick(QPoint p, int delayMs = 80) {
        ASSERT_TRUE(xdo(at(p) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                            QStringLiteral("--delay"), QString::number(delayMs), QStringLiteral("1")}));
    }
    // The input so far has been handled and every read it started has answered, the clipboard fallback
    // included; what they reported has arrived.
    void quietPeriod() {
        settleDisplay();
        EXPECT_TRUE(m_reads.settle());
    }
    static QString primary() {
        return QString::fromUtf8(runTool(QStringLiteral("xclip"), {"-selection", "primary", "-o"}).value_or(""));
    }

    struct Report {
        QString text;
        bool editable;
    };
    std::unique_ptr<PrivateAccessibilityBus> m_desktop;
    QTemporaryDir m_profile;
    QProcess m_browser;
    AccessibilityService m_reader;
    std::unique_ptr<SelectionMonitor> m_monitor;
    QList<Report> m_reports;
    SelectionReads m_reads;
    // Inside the two fields whatever bars the browser shows above its page; the first word of the text
    // field at the left.
    const QPoint m_password{200, 300};
    const QPoint m_word{80, 500};
};

} // namespace

TEST_F(BrowserPasswordFieldTest, PasswordIsNeverReadAndOtherFieldsStillAre) {
    // Every gesture below is away from the last one, so it starts a run of clicks of its own.
    doubleClick(m_password);
    EXPECT_TRUE(waitUntil([] { return primary() == kPassword; })) << "the browser offers the password in PRIMARY";
    quietPeriod();
    EXPECT_TRUE(m_reports.isEmpty());

    doubleClick(m_word);
    ASSERT_TRUE(waitUntil([&] { return m_reports.size() == 1; }));
    EXPECT_EQ(m_reports[0].text, QStringLiteral("morning"));
    EXPECT_TRUE(m_reports[0].editable);

    // Gestures quicker than the browser's focus, from one field into the other.
    doubleClick(m_password, 1);
    EXPECT_TRUE(waitUntil([] { return primary() == kPassword; }));
    quietPeriod();
    EXPECT_EQ(m_reports.size(), 1);
    // A browser slowed by a loaded machine may offer the word in PRIMARY only after the read gave up, as
    // it would for a user, who selects again (long after the last click).
    for (int attempt = 0; attempt < 3 && m_reports.size() < 2; ++attempt) {
        doubleClick(m_word + QPoint(200, 0), 1);
        waitUntil([&] { return m_reports.size() == 2; });
    }
    ASSERT_EQ(m_reports.size(), 2);
    EXPECT_EQ(m_reports[1].text, QStringLiteral("evening"));
}
