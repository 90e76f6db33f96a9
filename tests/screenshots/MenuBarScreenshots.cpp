// Screenshots of the tray popover with the translator: empty, translating, translated, error banner,
// language picker open and a long output, in light and dark appearance. Runs only when
// QUILLORA_SCREENSHOT_DIR names where to save them; tests/screenshots/take.sh menubar does that under Xvfb
// with a window manager and a tray.
#include "DevApiServer.h"
#include "ScreenshotTest.h"
#include "menubar/MenuBarManager.h"
#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/TranslationHeader.h"
#include "platform/ActivationPolicy.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"
#include "ui/PopoverWindow.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <memory>

namespace {

class MenuBarScreenshots : public ScreenshotTest {
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

    // The popover grows with its content a turn later: its size is read after that.
    void shootPopover(const QString& name, const QWidget& popover) {
        runQueuedWork();
        shoot(name, popover.geometry());
    }

    void type(MenuBarView& view, const QString& text) {
        view.setInputText(QString());
        view.setInputText(text);
    }

    DevApiServer m_api;
};

} // namespace

TEST_F(MenuBarScreenshots, LightAndDark) {
    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");

        MenuBarManager manager;
        manager.showPopover();
        MenuBarView& view = *manager.view();
        PopoverWindow& popover = *manager.popover();
        ASSERT_TRUE(waitUntil([&] { return popover.isVisible(); }));
        shootPopover(QStringLiteral("empty-") + mode, popover);

        // The header's context menu holds the tray menu's entries; "About Quillora" among them while the
        // application has a taskbar presence (shown in the dark shot).
        platform().activationPolicy().setPolicy(dark ? ActivationPolicy::Policy::Regular
                                                     : ActivationPolicy::Policy::Accessory);
        QWidget* header = view.header();
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(60, 12), header->mapToGlobal(QPoint(60, 12)));
        QApplication::sendEvent(header, &click);
        QPointer<QMenu> headerMenu = header->findChild<QMenu*>();
        ASSERT_TRUE(headerMenu);
        ASSERT_TRUE(waitUntil([&] { return headerMenu->isVisible(); }));
        shoot(QStringLiteral("header-menu-") + mode, popover.geometry().united(headerMenu->geometry()));
        headerMenu->close();
        platform().activationPolicy().setPolicy(ActivationPolicy::Policy::Accessory);

        ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 3000));
        type(view, QStringLiteral("good morning"));
        view.translate();
        shootPopover(QStringLiteral("translating-") + mode, popover);
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        shootPopover(QStringLiteral("translated-") + mode, popover);

        ASSERT_TRUE(m_api.failNext(QStringLiteral("500")));
        type(view, QStringLiteral("thank you"));
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        ASSERT_TRUE(waitUntil([&] { return !view.inlineAlert()->fade().isFading(); }));
        shootPopover(QStringLiteral("error-") + mode, popover);
        view.setShowAlert(false);

        view.languageSelector()->openTargetPicker();
        ASSERT_TRUE(waitUntil([&] { return view.languageSelector()->targetPicker() != nullptr; }));
        view.languageSelector()->targetPicker()->setSearchText(QStringLiteral("an"));
        shoot(QStringLiteral("picker-") + mode,
              popover.geometry().united(view.languageSelector()->targetPopover()->geometry()));
        view.languageSelector()->closePickers();

        type(view,
             QStringLiteral("The tray icon opens this popover with the translator. Type or paste a text, "
                            "choose the languages and the provider, and press Return to read its "
                            "translation here. Long translations scroll inside the card, which grows "
                            "from one hundred and fifty to two hundred and fifty points before it "
                            "starts to scroll. ")
                 .repeated(2));
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        shootPopover(QStringLiteral("long-") + mode, popover);
        manager.requestClose(MenuBarManager::CloseReason::Escape);
    }
}
