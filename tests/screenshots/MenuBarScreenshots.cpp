// Screenshots of the tray popover with the translator: empty, translating, translated, error banner,
// language picker open and a long output, in light and dark appearance. Runs only when
// QUILLORA_SCREENSHOT_DIR names where to save them; tests/screenshots/menubar.sh does that under Xvfb
// with a window manager and a tray.
#include "DevApiServer.h"
#include "TestUtils.h"
#include "menubar/MenuBarManager.h"
#include "menubar/look/PopoverWindow.h"
#include "menubar/look/Theme.h"
#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/MenuBarView.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A dark desktop palette: the look reads dark or light from the window colour.
QPalette darkPalette() {
    QPalette palette = QApplication::palette();
    const QList<std::pair<QPalette::ColorRole, QColor>> roles = {
        {QPalette::Window, QColor(45, 45, 48)},       {QPalette::Base, QColor(28, 28, 30)},
        {QPalette::AlternateBase, QColor(45, 45, 48)}, {QPalette::Button, QColor(45, 45, 48)},
        {QPalette::WindowText, QColor(236, 236, 236)}, {QPalette::Text, QColor(236, 236, 236)},
        {QPalette::ButtonText, QColor(236, 236, 236)}, {QPalette::Highlight, QColor(10, 132, 255)},
    };
    for (const auto& [role, color] : roles)
        palette.setColor(role, color);
    return palette;
}

class MenuBarScreenshots : public ::testing::Test {
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

    void shoot(const QString& name, QRect area) {
        spinFor(500);
        area.adjust(-16, -16, 16, 16);
        QScreen* screen = QGuiApplication::primaryScreen();
        area = area.intersected(screen->geometry());
        const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        ASSERT_TRUE(shot.save(path)) << path.toStdString();
        std::fprintf(stderr, "saved %s\n", qPrintable(path));
    }

    void type(MenuBarView& view, const QString& text) {
        view.setInputText(QString());
        view.setInputText(text);
    }

    QString m_dir;
    DevApiServer m_api;
    QPalette m_saved;
};

} // namespace

TEST_F(MenuBarScreenshots, LightAndDark) {
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : m_saved);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");

        MenuBarManager manager;
        manager.showPopover();
        MenuBarView& view = *manager.view();
        PopoverWindow& popover = *manager.popover();
        ASSERT_TRUE(waitUntil([&] { return popover.isVisible(); }));
        shoot(QStringLiteral("empty-") + mode, popover.geometry());

        ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 3000));
        type(view, QStringLiteral("good morning"));
        view.translate();
        shoot(QStringLiteral("translating-") + mode, popover.geometry());
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        shoot(QStringLiteral("translated-") + mode, popover.geometry());

        ASSERT_TRUE(m_api.failNext(QStringLiteral("500")));
        type(view, QStringLiteral("thank you"));
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        shoot(QStringLiteral("error-") + mode, popover.geometry());
        view.setShowAlert(false);

        view.languageSelector()->openTargetPicker();
        ASSERT_TRUE(waitUntil([&] { return view.languageSelector()->targetPicker() != nullptr; }));
        view.languageSelector()->targetPicker()->setSearchText(QStringLiteral("an"));
        shoot(QStringLiteral("picker-") + mode,
              popover.geometry().united(view.languageSelector()->targetPopover()->geometry()));
        view.languageSelector()->closePickers();

        type(view, QStringLiteral("The tray icon opens this popover with the translator. Type or paste a text, "
                                  "choose the languages and the provider, and press Return to read its "
                                  "translation here. Long translations scroll inside the card, which grows "
                                  "from one hundred and fifty to two hundred and fifty points before it "
                                  "starts to scroll. ")
                                 .repeated(2));
        view.translate();
        ASSERT_TRUE(waitUntil([&] { return !view.isTranslating(); }, 10000));
        shoot(QStringLiteral("long-") + mode, popover.geometry());
        manager.requestClose(MenuBarManager::CloseReason::Escape);
    }
}
