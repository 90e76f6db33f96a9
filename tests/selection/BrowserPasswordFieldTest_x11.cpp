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

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Two tall fields, so that where they are does not depend on the browser's bars above the page.
const char kPage[] = R"(<!doctype html><html><head><title>password page</title></head><body style="margin:0">
<input type="password" value="hunter2secret" style="position:absolute;left:20px;top:100px;width:600px;height:120px;font-size:48px">
<input type="text" value="morning evening" style="position:absolute;left:20px;top:300px;width:600px;height:120px;font-size:48px">
</body></html>)";

QStringList at(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

// A browser as a desktop with a screen reader running starts it, showing `page` in a window at the
// top-left of the screen.
struct Browser {
    const char* program;
    QStringList (*arguments)(const QTemporaryDir& profile, const QString& page);
    // NAME=VALUE that tells it an assistive technology needs its fields; empty: started as a desktop
    // starts it, so that it does not publish them.
    const char* environment;
    const char* passwordInPrimary; // what it puts into PRIMARY when the password is selected (UTF-8)
};

// The browser's name, so that the test's name stays the same from one listing to the next.
void PrintTo(const Browser& browser, std::ostream* out) {
    *out << browser.program;
}

QStringList chromiumArguments(const QTemporaryDir& profile, const QString& page) {
    return {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"), QStringLiteral("--force-renderer-accessibility"),
            QStringLiteral("--user-data-dir=") + profile.filePath(QStringLiteral("profile")),
            QStringLiteral("--window-position=0,0"), QStringLiteral("--window-size=900,700"),
            QStringLiteral("file://") + page};
}

QStringList firefoxArguments(const QTemporaryDir& profile, const QString& page) {
    // No first-run pages, no checks over the network, and the window where the tests click.
    QDir().mkpath(profile.filePath(QStringLiteral("profile")));
    QFile prefs(profile.filePath(QStringLiteral("profile/user.js")));
    if (prefs.open(QIODevice::WriteOnly)) {
        prefs.write("user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                    "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                    "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                    "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                    "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                    "user_pref(\"app.update.auto\", false);\n"
                    "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n");
    }
    return {QStringLiteral("--no-remote"), QStringLiteral("--new-instance"), QStringLiteral("--profile"),
            profile.filePath(QStringLiteral("profile")), QStringLiteral("--width"), QStringLiteral("900"),
            QStringLiteral("--height"), QStringLiteral("700"), QStringLiteral("file://") + page};
}

const Browser kBrowsers[] = {
    {"chromium", chromiumArguments, "ACCESSIBILITY_ENABLED=1", "hunter2secret"},
    // Not told, it stays off the bus and puts one mask character for each of the password's into PRIMARY.
    {"firefox-esr", firefoxArguments, "",
     "\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf\u25cf"},
};

class BrowserPasswordFieldTest : public ::testing::TestWithParam<Browser> {
protected:
    void SetUp() override {
        const Browser& browser = GetParam();
        if (QStandardPaths::findExecutable(QLatin1String(browser.program)).isEmpty())
            GTEST_SKIP() << browser.program << " is not installed (scripts/install-deps.sh)";
        m_desktop = std::make_unique<PrivateAccessibilityBus>();
        ASSERT_TRUE(m_desktop->isRunning());
        installPlatform(std::make_unique<X11Platform>());
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_profile.isValid());
        QFile page(m_profile.filePath(QStringLiteral("page.html")));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write(kPage);
        page.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString setting = QLatin1String(browser.environment);
        if (!setting.isEmpty())
            environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        m_browser.setProcessEnvironment(environment);
        m_browser.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_browser.setStandardErrorFile(QProcess::nullDevice());
        m_browser.start(QLatin1String(browser.program), browser.arguments(m_profile, page.fileName()));
        ASSERT_TRUE(m_browser.waitForStarted());
        // At the top-left, where the tests click, once the window shows the page: a browser that takes no
        // position from its arguments is placed by the window manager first.
        ASSERT_TRUE(waitUntil(
            [&] {
                return xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                            QString::number(m_browser.processId()), QStringLiteral("--name"),
                            QStringLiteral("password page"), QStringLiteral("windowmove"),
                            QStringLiteral("%@"), QStringLiteral("0"), QStringLiteral("0")});
            },
            60000));
        // Ready once its page is on the accessibility bus with the password field focused, or, off the bus,
        // once the page takes a selection. Clicked away from where the tests click, so that their clicks
        // start a run of their own however soon they come.
        ASSERT_TRUE(waitUntil(
            [&] {
                if (!publishesFields()) {
                    xdo(at(m_word + QPoint(200, 0)) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"),
                                                                  QStringLiteral("2"), QStringLiteral("--delay"),
                                                                  QStringLiteral("80"), QStringLiteral("1")});
                    return waitUntil([] { return primary() == QStringLiteral("evening"); }, 2000);
                }
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

    static bool publishesFields() { return GetParam().environment[0] != '\0'; }
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
    // What a failure shows: the texts read, so that a password read is told from a word read twice.
    QString reported() const {
        QStringList texts;
        for (const Report& report : m_reports)
            texts.append(QLatin1Char('"') + report.text + QLatin1Char('"'));
        return QStringLiteral("read: ") + texts.join(QStringLiteral(", "));
    }
    std::unique_ptr<PrivateAccessibilityBus> m_desktop;
    QTemporaryDir m_profile;
    QProcess m_browser;
    AccessibilityService m_reader;
    std::unique_ptr<SelectionMonitor> m_monitor;
    QList<Report> m_reports;
    SelectionReads m_reads;
    // On the line of text of the two fields whatever bars the browser shows above its page (a double click
    // below the text selects nothing in some); the first word of the text field at the left.
    const QPoint m_password{200, 280};
    const QPoint m_word{80, 480};
};

} // namespace

TEST_P(BrowserPasswordFieldTest, PasswordIsNeverReadAndOtherFieldsStillAre) {
    // Every gesture below is away from the last one, so it starts a run of clicks of its own.
    // A browser slowed by a loaded machine takes its time to select, and may offer a word in PRIMARY only
    // after the read gave up, as it would for a user, who selects again (long after the last click).
    const int slowBrowserMs = 60000;
    const auto selectWord = [&](QPoint word, int delayMs) {
        const qsizetype before = m_reports.size();
        for (int attempt = 0; attempt < 3 && m_reports.size() == before; ++attempt) {
            doubleClick(word, delayMs);
            waitUntil([&] { return m_reports.size() > before; });
        }
    };
    // The password likewise; whatever the tries, none may be read.
    const QString password = QString::fromUtf8(GetParam().passwordInPrimary);
    const auto selectPassword = [&](int delayMs) {
        for (int attempt = 0; attempt < 3 && primary() != password; ++attempt) {
            doubleClick(m_password, delayMs);
            waitUntil([&] { return primary() == password; }, slowBrowserMs / 3);
        }
        return primary() == password;
    };
    EXPECT_TRUE(selectPassword(80)) << "the browser offers the password in PRIMARY";
    quietPeriod();
    EXPECT_TRUE(m_reports.isEmpty()) << reported().toStdString();

    selectWord(m_word, 80);
    ASSERT_EQ(m_reports.size(), 1);
    EXPECT_EQ(m_reports[0].text, QStringLiteral("morning"));
    EXPECT_EQ(m_reports[0].editable, publishesFields());

    // Gestures quicker than the browser's focus, from one field into the other.
    EXPECT_TRUE(selectPassword(1));
    quietPeriod();
    EXPECT_EQ(m_reports.size(), 1) << reported().toStdString();
    selectWord(m_word + QPoint(200, 0), 1);
    ASSERT_EQ(m_reports.size(), 2);
    EXPECT_EQ(m_reports[1].text, QStringLiteral("evening"));
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserPasswordFieldTest, ::testing::ValuesIn(kBrowsers),
                         [](const ::testing::TestParamInfo<Browser>& info) {
                             return QString::fromLatin1(info.param.program).remove(u'-').toStdString();
                         });
