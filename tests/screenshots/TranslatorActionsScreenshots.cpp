// Screenshots of the translator's actions: a translation with alternatives and examples (with a chip's
// back-translations and the example popover open), the rewrite style menu, a rewrite in progress and
// done, in light and dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/actions.sh does that under Xvfb with a window manager and a tray.
#include "DevApiServer.h"
#include "TestUtils.h"
#include "menubar/MenuBarManager.h"
#include "menubar/look/PopoverWindow.h"
#include "menubar/look/Theme.h"
#include "menubar/translator/AlternativeTranslations.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/ExampleSentences.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/TranslationChip.h"
#include "menubar/translator/TranslatorActionBar.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>

namespace {

QPalette darkPalette() {
    QPalette palette = QApplication::palette();
    const QList<std::pair<QPalette::ColorRole, QColor>> roles = {
        {QPalette::Window, QColor(45, 45, 48)},        {QPalette::Base, QColor(28, 28, 30)},
        {QPalette::AlternateBase, QColor(45, 45, 48)}, {QPalette::Button, QColor(45, 45, 48)},
        {QPalette::WindowText, QColor(236, 236, 236)}, {QPalette::Text, QColor(236, 236, 236)},
        {QPalette::ButtonText, QColor(236, 236, 236)}, {QPalette::Highlight, QColor(10, 132, 255)},
    };
    for (const auto& [role, color] : roles)
        palette.setColor(role, color);
    return palette;
}

class TranslatorActionsScreenshots : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = qEnvironmentVariable("QUILLORA_SCREENSHOT_DIR");
        if (m_dir.isEmpty())
            GTEST_SKIP() << "QUILLORA_SCREENSHOT_DIR is not set";
        QDir().mkpath(m_dir);
        installPlatform(std::make_unique<X11Platform>());
        ASSERT_TRUE(m_api.start());
        m_api.useAsApiBase();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
        defaults.set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        defaults.set(QStringLiteral("defaultTranslationService"), QStringLiteral("google"));
        m_saved = QApplication::palette();
    }
    void TearDown() override { QApplication::setPalette(m_saved); }

    void shoot(const QString& name, QRect area, int settleMs = 500) {
        spinFor(settleMs);
        area.adjust(-16, -16, 16, 16);
        QScreen* screen = QGuiApplication::primaryScreen();
        area = area.intersected(screen->geometry());
        const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        ASSERT_TRUE(shot.save(path)) << path.toStdString();
        std::fprintf(stderr, "saved %s\n", qPrintable(path));
    }

    void translate(MenuBarView& view, const QString& text) {
        view.setInputText(QString());
        view.setInputText(text);
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
    }

    QString m_dir;
    DevApiServer m_api;
    QPalette m_saved;
};

} // namespace

TEST_F(TranslatorActionsScreenshots, LightAndDark) {
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : m_saved);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");

        MenuBarManager manager;
        manager.showPopover();
        MenuBarView& view = *manager.view();
        PopoverWindow& popover = *manager.popover();
        ASSERT_TRUE(waitUntil([&] { return popover.isVisible(); }));
        view.setSelectedService(TranslationService::Google);

        spinFor(300);
        view.setSelectedService(TranslationService::Google);
        translate(view, QStringLiteral("book"));
        spinFor(500);
        shoot(QStringLiteral("alternatives-") + mode, popover.geometry());

        TranslationChip* chip = view.alternatives()->chips().at(1);
        chip->handleHover(true);
        ASSERT_TRUE(waitUntil([&] { return chip->isPopoverShown(); }));
        shoot(QStringLiteral("back-translations-") + mode,
              popover.geometry().united(chip->popover()->window()->geometry()));
        chip->handleHover(false);

        view.exampleSentences()->openPopover();
        ASSERT_TRUE(view.exampleSentences()->isPopoverShown());
        shoot(QStringLiteral("examples-") + mode,
              popover.geometry().united(view.exampleSentences()->popover()->window()->geometry()));
        view.exampleSentences()->popover()->close();

        view.setSelectedService(TranslationService::ChatGPT);
        translate(view, QStringLiteral("Thank you for the lovely evening"));
        spinFor(300);
        TranslatorActionBar& bar = *view.actionBar();
        bar.openRewriteOptions();
        ASSERT_TRUE(bar.rewriteOptions()->isShown());
        shoot(QStringLiteral("rewrite-menu-") + mode,
              popover.geometry().united(bar.rewriteOptions()->window()->geometry()));
        bar.rewriteOptions()->close();

        ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 3000));
        bar.rewriteTranslation(RewriteStyle::Friendly);
        shoot(QStringLiteral("rewriting-") + mode, popover.geometry(), 700);
        ASSERT_TRUE(waitUntil([&] { return !bar.isRewriting() && !bar.isSwapPending(); }, 10000));
        shoot(QStringLiteral("rewritten-") + mode, popover.geometry(), 800);
        manager.requestClose(MenuBarManager::CloseReason::Escape);
    }
}
