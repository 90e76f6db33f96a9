// Screenshots of the history and favorites sheets in the tray popover (empty, a few rows, long texts) in
// light and dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh history does that under Xvfb.
#include "ScreenshotTest.h"
#include "TestUtils.h"
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryManager.h"
#include "menubar/history/HistoryView.h"
#include "platform/UserDefaults.h"
#include "ui/PopoverWindow.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

// The sheet as the translator's popover holds it, hanging from a tray at the top right.
void shootSheet(const QString& dir, const QString& name, SavedTranslationsView* sheet) {
    PopoverWindow popover;
    popover.setMaterial(VisualEffectView::Material::Popover);
    popover.setBehavior(PopoverWindow::Behavior::ApplicationDefined);
    popover.setContentWidget(sheet);
    popover.setContentSize(SavedTranslationsView::sheetSize);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    popover.showRelativeTo(QRect(screen.right() - 300, screen.top(), 24, 24), PopoverWindow::Edge::Bottom);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    saveSettledShot(dir, name, popover.frameGeometry().adjusted(-12, -12, 12, 12));
}

using HistoryScreenshots = ScreenshotTest;

} // namespace

TEST_F(HistoryScreenshots, LightAndDark) {
    const QString& dir = m_dir;
    const auto lang = [](const char* code) { return Language::find(QString::fromLatin1(code)); };
    const QString longSource = QStringLiteral(
        "The history keeps the twenty most recent translations made in the popover, newest first, and every "
        "one of them can be loaded back into the translator with a single click, even when it is as long as "
        "this paragraph, which wraps onto several lines without ever being cut. "
        "Averyveryverylongwordwithoutanyspacesatallthatmustwraptoo.");
    const QString longTranslation = QStringLiteral("Geçmiş, açılır pencerede yapılan en son yirmi çeviriyi "
                                                   "en yenisi başta olmak üzere saklar ve her biri "
                                                   "tek bir tıklamayla çevirmene geri yüklenebilir; bu "
                                                   "paragraf kadar uzun olsa bile satırlara bölünür.");

    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (const char* state : {"empty", "rows", "long"}) {
            UserDefaults::standard().resetForTesting();
            HistoryManager history;
            FavoritesManager favorites;
            if (QByteArray(state) != "empty") {
                history.addTranslation("thank you", QString::fromUtf8("teşekkür ederim"), lang("auto"),
                                       lang("tr"), TranslationService::Google);
                history.addTranslation("good morning", "Guten Morgen", lang("en"), lang("de"),
                                       TranslationService::DeepL);
                history.addTranslation("book", "libro", lang("en"), lang("es"), TranslationService::ChatGPT);
                if (QByteArray(state) == "long")
                    history.addTranslation(longSource, longTranslation, lang("en"), lang("tr"),
                                           TranslationService::Gemini);
                for (int i = int(history.translations().size()) - 1; i >= 0; --i) {
                    if (i % 2 == 0)
                        favorites.addFavorite(history.translations().at(i));
                }
            }
            shootSheet(dir, QStringLiteral("history-%1-%2").arg(QString::fromLatin1(state), mode),
                       new HistoryView(history, favorites));
            shootSheet(dir, QStringLiteral("favorites-%1-%2").arg(QString::fromLatin1(state), mode),
                       new FavoritesView(favorites));
        }
    }
}
