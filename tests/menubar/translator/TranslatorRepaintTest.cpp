#include "TestUtils.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/ProviderIcon.h"
#include "menubar/translator/SelectorButton.h"
#include "menubar/translator/TextInputView.h"
#include "services/Language.h"
#include "ui/CaretBlinkTimeout.h"
#include "ui/TranslatorPanelStyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPaintEvent>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QThreadPool>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The widgets that receive a paint event while it lives.
class PaintLog : public QObject {
public:
    PaintLog() { qApp->installEventFilter(this); }
    ~PaintLog() override { qApp->removeEventFilter(this); }

    QSet<const QObject*> painted;

    // Runs `change`, then waits until `sentinel`, which `change` must have updated, is painted: whatever
    // else the change repainted was painted by then, in the same pass.
    QSet<const QObject*> paintsOf(const std::function<void()>& change, const QWidget* sentinel) {
        painted.clear();
        change();
        if (!waitUntil([this, sentinel] { return painted.contains(sentinel); }))
            ADD_FAILURE() << "the change repainted nothing";
        QSet<const QObject*> others = painted;
        others.remove(sentinel);
        return others;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted.insert(watched);
        return false;
    }
};

// The classes of the widgets among `objects` that lie in `root` (root included), sorted.
std::vector<std::string> within(const QSet<const QObject*>& objects, const QObject* root) {
    std::vector<std::string> result;
    for (const QObject* object : objects) {
        for (const QObject* o = object; o; o = o->parent()) {
            if (o == root) {
                result.emplace_back(object->metaObject()->className());
                break;
            }
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

// The input card on the translator's panel, in a translucent window as in the popover.
struct InputOnPanel {
    QWidget window;
    QWidget* panel = new QWidget(&window);
    TextInputView* input = new TextInputView({}, panel);

    InputOnPanel() {
        window.setAttribute(Qt::WA_TranslucentBackground);
        auto* column = new QVBoxLayout(panel);
        column->addWidget(input);
        column->addStretch(1);
        translatorPanelStyle(panel);
        panel->setGeometry(0, 0, 400, 280);
        window.resize(400, 280);
    }
};

} // namespace

TEST(TranslatorRepaint, CursorBlinkAndKeystrokeRepaintOnlyTheTextArea) {
    InputOnPanel scene;
    PaintLog log;
    QWidget* text = scene.input->editor()->viewport();
    scene.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scene.window));
    ASSERT_TRUE(waitUntil([&log, text] { return log.painted.contains(text); }));
    scene.input->focusEditor();
    runQueuedWork();

    // A blink repaints the cursor's rectangle, which the placeholder's first letter lies beside.
    QTextEdit* editor = scene.input->editor();
    const auto blink = [editor] { editor->viewport()->update(editor->cursorRect().adjusted(-4, 0, 4, 0)); };
    EXPECT_EQ(within(log.paintsOf(blink, text), &scene.window), std::vector<std::string>());

    // The first letter hides the placeholder and shows the buttons; the next ones change only the text.
    QTest::keyClick(editor, Qt::Key_A);
    runQueuedWork();
    EXPECT_EQ(within(log.paintsOf([editor] { QTest::keyClick(editor, Qt::Key_B); }, text), &scene.window),
              std::vector<std::string>());
    EXPECT_EQ(within(log.paintsOf(blink, text), &scene.window), std::vector<std::string>());

    // Where the placeholder stood, the text area shows the bare card again.
    const QRect gone = scene.input->placeholder()->geometry().adjusted(140, 0, 0, 0);
    const QImage shot = scene.window.screen()->grabWindow(scene.window.winId()).toImage();
    const QRect area = QRect(scene.input->mapTo(&scene.window, gone.topLeft()), gone.size()) &
                       QRect(text->mapTo(&scene.window, QPoint(0, 0)), text->size());
    ASSERT_FALSE(area.isEmpty());
    const QRgb card = shot.pixel(area.topLeft());
    int differing = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            differing += shot.pixel(x, y) != card;
    }
    EXPECT_EQ(differing, 0);
}

TEST(TranslatorRepaint, TheSameLanguagesAndServiceIconSetAgainRepaintNothing) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* selector = new LanguageSelector([](const Language&) {}, [](const Language&) {}, &window);
    auto* service = new SelectorButton(&window);
    auto* sentinel = new QLabel(QStringLiteral("sentinel"), &window);
    column->addWidget(selector);
    column->addWidget(service);
    column->addWidget(sentinel);
    const Language english = Language::find(Language::englishCode);
    const Language automatic = Language::find(Language::automaticCode);
    selector->setLanguages(automatic, english);
    service->setText(QStringLiteral("Google"));
    service->setIcon(ProviderIcon::pixmap(TranslationService::Google, false, window.devicePixelRatioF()));
    PaintLog log;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    runQueuedWork();

    // What the translator does on every keystroke.
    const auto again = [&] {
        selector->setLanguages(automatic, english);
        service->setText(QStringLiteral("Google"));
        service->setIcon(ProviderIcon::pixmap(TranslationService::Google, false, window.devicePixelRatioF()));
        sentinel->update();
    };
    const QSet<const QObject*> painted = log.paintsOf(again, sentinel);
    EXPECT_EQ(within(painted, selector), std::vector<std::string>());
    EXPECT_EQ(within(painted, service), std::vector<std::string>());

    // A real change still shows: the swap button lights up once the source is no longer automatic.
    const auto change = [&] {
        selector->setLanguages(english, Language::find(QStringLiteral("tr")));
        sentinel->update();
    };
    EXPECT_NE(within(log.paintsOf(change, sentinel), selector), std::vector<std::string>());
}

namespace {

// The text area's paint events, as the rectangles they repaint.
class AreaPaints : public QObject {
public:
    explicit AreaPaints(QWidget* area) { area->installEventFilter(this); }
    QList<QRect> rects;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            rects.append(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
};

} // namespace

TEST(TranslatorRepaint, CursorBlinksOverItsOwnPixelsAndStopsShownAfterTheDesktopsTimeoutUntilInput) {
    // The desktop's setting, as GTK keeps it: stop blinking after one second without input.
    QTemporaryDir config;
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("gtk-3.0")));
    QFile settings(config.filePath(QStringLiteral("gtk-3.0/settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Settings]\ngtk-theme-name=Adwaita\ngtk-cursor-blink-timeout = 1\n");
    settings.close();
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const int oldFlashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(80);

    {
        InputOnPanel scene;
        QTextEdit* editor = scene.input->editor();
        AreaPaints paints(editor->viewport());
        scene.window.show();
        scene.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&scene.window));
        scene.input->focusEditor();
        QTest::keyClick(editor, Qt::Key_A);
        runQueuedWork();

        // Painted nothing over `ms`.
        const auto quietFor = [&paints](int ms) {
            paints.rects.clear();
            QTest::qWait(ms);
            return paints.rects.isEmpty();
        };
        const auto blinksOverCursorOnly = [&] {
            paints.rects.clear();
            const bool blinked = waitUntil([&paints] { return paints.rects.size() >= 3; }, 2000);
            const QRect cursor = editor->cursorRect().adjusted(-6, -2, 6, 2);
            for (const QRect& r : paints.rects)
                EXPECT_TRUE(cursor.contains(r)) << "blink repainted " << r.x() << "," << r.y() << " " << r.width()
                                                << "x" << r.height();
            return blinked;
        };
        const auto cursorShown = [editor] {
            const QImage area = editor->viewport()->grab().toImage();
            const QRect cursor = editor->cursorRect();
            const QPoint at(cursor.left(), cursor.center().y());
            return area.pixel(at) != area.pixel(at + QPoint(cursor.width() + 3, 0));
        };

        EXPECT_TRUE(blinksOverCursorOnly());
        // No input for a second: the cursor stays, steady.
        EXPECT_TRUE(waitUntil([&] { return quietFor(300); }, 5000));
        EXPECT_TRUE(cursorShown());
        EXPECT_TRUE(quietFor(300));

        // A key blinks it again, and so does a click; then it settles again.
        QTest::keyClick(editor, Qt::Key_B);
        runQueuedWork();
        EXPECT_TRUE(blinksOverCursorOnly());
        EXPECT_TRUE(waitUntil([&] { return quietFor(300); }, 5000));
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->cursorRect().center());
        runQueuedWork();
        EXPECT_TRUE(blinksOverCursorOnly());
        EXPECT_TRUE(waitUntil([&] { return quietFor(300); }, 5000));
        EXPECT_TRUE(cursorShown());
    }
    // The application's own flash time is back once the field is gone.
    EXPECT_EQ(QApplication::cursorFlashTime(), 80);
    QApplication::setCursorFlashTime(oldFlashTime);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

// GTK takes a timeout of zero or less as "never stop": the caret blinks on.
TEST(TranslatorRepaint, CursorBlinksOnWhenTheDesktopsTimeoutSaysNeverStop) {
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const int oldFlashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(80);
    for (const char* seconds : {"0", "-1"}) {
        SCOPED_TRACE(seconds);
        QTemporaryDir config;
        ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("gtk-4.0")));
        QFile settings(config.filePath(QStringLiteral("gtk-4.0/settings.ini")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("[Settings]\ngtk-cursor-blink-timeout=") + seconds + "\n");
        settings.close();
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

        QTextEdit editor;
        auto* blink = new CaretBlinkTimeout(&editor);
        editor.show();
        editor.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
        editor.setFocus();
        QTest::keyClick(&editor, Qt::Key_A);
        // The desktop's answer has arrived, and what it started has run.
        QThreadPool::globalInstance()->waitForDone();
        runQueuedWork();
        EXPECT_FALSE(blink->isSteady());
        EXPECT_EQ(QApplication::cursorFlashTime(), 80);
    }
    QApplication::setCursorFlashTime(oldFlashTime);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}
