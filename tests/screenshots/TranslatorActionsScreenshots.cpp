// Screenshots of the translator's actions: a translation with alternatives and examples (with a chip's
// back-translations and the example popover open), the rewrite style menu, a rewrite in progress and
// done, in light and dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh actions does that under Xvfb with a window manager and a tray.
#include "DevApiServer.h"
#include "ScreenshotTest.h"
#include "menubar/MenuBarManager.h"
#include "menubar/translator/AlternativeTranslations.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/ExampleSentences.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/TranslationChip.h"
#include "menubar/translator/TranslatorActionBar.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"
#include "ui/PopoverWindow.h"
#include "ui/Theme.h"

#include <memory>

namespace {

class TranslatorActionsScreenshots : public ScreenshotTest {
protected:
    void SetUp() override {
        ScreenshotTest::SetUp();
        if (IsSkipped())
            return;
        installPlatform(std::make_unique<X11Platform>());
        ASSERT_TRUE(m_api.start());
        m_api.useAsApiBase();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
        defaults.set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        defaults.set(QStringLiteral("defaultTranslationService"), QStringLiteral("google"));
    }

    void translate(MenuBarView& view, const QString& text) {
        view.setInputText(QString());
        view.setInputText(text);
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
    }

    DevApiServer m_api;
};

} // namespace

TEST_F(TranslatorActionsScreenshots, LightAndDark) {
    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");

        MenuBarManager manager;
        manager.showPopover();
        MenuBarView& view = *manager.view();
        PopoverWindow& popover = *manager.popover();
        ASSERT_TRUE(waitUntil([&] { return popover.isVisible(); }));
        view.setSelectedService(TranslationService::Google);

        runQueuedWork(MenuBarView::focusDelayMs);
        view.setSelectedService(TranslationService::Google);
        translate(view, QStringLiteral("book"));
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
        runQueuedWork();
        TranslatorActionBar& bar = *view.actionBar();
        bar.openRewriteOptions();
        ASSERT_TRUE(bar.rewriteOptions()->isShown());
        shoot(QStringLiteral("rewrite-menu-") + mode,
              popover.geometry().united(bar.rewriteOptions()->window()->geometry()));
        bar.rewriteOptions()->close();

        ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 3000));
        bar.rewriteTranslation(RewriteStyle::Friendly);
        // The ring turns: taken as it is a moment later.
        shoot(QStringLiteral("rewriting-") + mode, popover.geometry(), 16, 200);
        ASSERT_TRUE(waitUntil([&] { return !bar.isRewriting() && !bar.isSwapPending(); }, 10000));
        shoot(QStringLiteral("rewritten-") + mode, popover.geometry());
        manager.requestClose(MenuBarManager::CloseReason::Escape);
    }
}
