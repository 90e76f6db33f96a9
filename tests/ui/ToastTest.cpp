#include "TestUtils.h"
#include "platform/SettingsWriter.h"
#include "services/TranslationService.h"
#include "shortcuts/SelectionReplacer.h"
#include "ui/GlobalToastManager.h"
#include "ui/GlobalToastPanel.h"
#include "ui/Symbol.h"
#include "ui/ToastManager.h"

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(ToastManager, ANewToastReplacesTheTextAndTheFirstToastsHideEndsIt) {
    ToastManager& toasts = ToastManager::shared();
    toasts.showToast(QStringLiteral("Copied"), QStringLiteral("doc.on.doc"), Qt::white, 0.5);
    EXPECT_TRUE(toasts.isShowingToast());
    toasts.showToast(QStringLiteral("Added"), QStringLiteral("bookmark.fill"), Qt::white, 600);
    EXPECT_EQ(toasts.toastMessage(), QStringLiteral("Added"));
    EXPECT_EQ(toasts.toastIcon(), QStringLiteral("bookmark.fill"));
    // The first toast's hide, not the second's ten minutes, takes it away; the text stays.
    ASSERT_TRUE(waitUntil([&] { return !toasts.isShowingToast(); }, 10000));
    EXPECT_EQ(toasts.toastMessage(), QStringLiteral("Added"));

    // A zero duration shows and hides on the next turns.
    toasts.showToast(QStringLiteral("Removed"), QString(), Qt::white, 0);
    EXPECT_TRUE(toasts.isShowingToast());
    EXPECT_TRUE(waitUntil([&] { return !toasts.isShowingToast(); }, 10000));
}

TEST(GlobalToastManager, DurationAndWidthFollowTheMessage) {
    const QList<std::tuple<int, double, double>> durations = {
        {49, 0, 2}, {50, 0, 3}, {99, 0, 3}, {100, 0, 4}, {10, -1, 2}, {10, 1.5, 1.5}, {200, 0.5, 0.5},
    };
    for (const auto& [characters, given, expected] : durations)
        EXPECT_EQ(GlobalToastManager::durationFor(QString(characters, u'x'), given), expected) << characters;
    // User-perceived characters: 49 flags are 49, not 98 code units.
    EXPECT_EQ(GlobalToastManager::durationFor(QStringLiteral("🇹🇷").repeated(49), 0), 2);

    EXPECT_EQ(GlobalToastManager::panelWidthFor(QStringLiteral("Hi")), 300);
    EXPECT_EQ(GlobalToastManager::panelWidthFor(QString(300, u'W')), 500);
}

TEST(GlobalToastManager, ANewToastReplacesTheOneOnScreenAndNeverTakesFocus) {
    GlobalToastManager& toasts = GlobalToastManager::shared();
    // Any thread may ask; the toast appears on the main thread.
    QThread* worker = QThread::create([&toasts] {
        toasts.show(QStringLiteral("Copied to clipboard"), QStringLiteral("checkmark.circle.fill"), 1.0);
    });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(waitUntil([&] { return toasts.panel() != nullptr; }));
    GlobalToastPanel* first = toasts.panel();
    EXPECT_EQ(first->message(), QStringLiteral("Copied to clipboard"));
    const QRect banner = first->bannerRect();
    EXPECT_EQ(banner.size(), QSize(300, 50));
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(first->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(first->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint bannerCenter = first->mapToGlobal(banner.center());
    EXPECT_LE(std::abs(bannerCenter.x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(bannerCenter.y() - screen.center().y()), 1);
    // A compositor shows translucent windows here: a soft shadow lies under the banner, strongest just
    // below it, gone at the window's edge; the banner itself stays as translucent as drawn.
    const QImage shot = first->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const int middle = banner.center().x();
    EXPECT_GT(qAlpha(shot.pixel(middle, banner.bottom() + 4)), qAlpha(shot.pixel(middle, banner.top() - 4)));
    EXPECT_GE(qAlpha(shot.pixel(middle, banner.bottom() + 4)), 20);
    EXPECT_GE(qAlpha(shot.pixel(banner.left() - 3, banner.center().y())), 10);
    EXPECT_EQ(qAlpha(shot.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(middle, shot.height() - 1)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(banner.left() + 8, banner.center().y())), 204);
    const QString firstMessage = first->message();

    QElapsedTimer clock;
    clock.start();
    toasts.show(QStringLiteral("Text translated and replaced"), QStringLiteral("checkmark.circle"), 1.5);
    ASSERT_TRUE(waitUntil([&] { return toasts.panel() && toasts.panel()->message() != firstMessage; }));
    // The second stays its own 1.5 s, beyond the first one's deadline (a coarse timer may fire 5 % early).
    EXPECT_TRUE(waitUntil([&] { return toasts.panel() == nullptr; }, 6000));
    EXPECT_GE(clock.elapsed(), 1425);
}

// The toasts the application itself gives: each fits the one line of the widest banner, and each symbol
// it names has an image (a missing one would leave the banner without its icon).
TEST(GlobalToastManager, EveryToastOfOursFitsOneLineWithItsSymbol) {
    QList<std::pair<QString, QString>> toasts = {
        {SelectionReplacer::successMessage, QStringLiteral("checkmark.circle")},
        {SelectionReplacer::focusMovedMessage, QStringLiteral("doc.on.clipboard")},
        {SelectionReplacer::pasteRefusedMessage, QStringLiteral("doc.on.clipboard")},
        {SelectionReplacer::notPastedMessage, QStringLiteral("exclamationmark.triangle")},
        {SelectionReplacer::notReadMessage, QStringLiteral("doc.on.clipboard")},
        {QStringLiteral("Copied to clipboard"), QStringLiteral("checkmark.circle.fill")},
        {QStringLiteral("Welcome to Quillora!"), QStringLiteral("hand.wave.fill")},
    };
    for (TranslationService service : allTranslationServices())
        toasts.append({SelectionReplacer::startMessage(service), QStringLiteral("arrow.2.circlepath")});
    // What was not saved, and why, for each way a write of the settings fails, of one file or all at once.
    const int errors[] = {ENOSPC, EDQUOT, EIO, EROFS, EACCES, EPERM, ELOOP, ENOTDIR, EISDIR, EMFILE,
                          ENFILE, ENOMEM, ENAMETOOLONG, EFBIG, EBUSY, EXDEV, EMLINK, ENOENT, EINVAL,
                          ETXTBSY, EOPNOTSUPP, ESTALE, EOVERFLOW, EBADF, EAGAIN, ENXIO, ENODEV};
    const QStringList files = {"Quillora.conf", "favoriteTranslations.txt", "translationHistory.txt"};
    for (const int error : errors)
        toasts.append({SettingsWriter::notSaved(files, error), QStringLiteral("exclamationmark.triangle")});
    for (const QString& name : files) {
        for (const int error : errors)
            toasts.append({SettingsWriter::notSaved(name, error), QStringLiteral("exclamationmark.triangle")});
        toasts.append({SettingsWriter::notRead(name), QStringLiteral("exclamationmark.triangle")});
        toasts.append({SettingsWriter::keptAside(name), QStringLiteral("exclamationmark.triangle")});
    }
    for (const auto& [message, icon] : toasts) {
        SCOPED_TRACE(message.toStdString());
        EXPECT_LT(GlobalToastManager::panelWidthFor(message), 500);
        EXPECT_TRUE(Symbol::exists(icon)) << icon.toStdString();
        EXPECT_FALSE(Symbol::pixmap(icon, QSize(16, 16), Qt::white, 1).isNull()) << icon.toStdString();
    }
    // The translator's own toasts.
    for (const char* icon : {"doc.on.doc", "bookmark", "bookmark.fill"})
        EXPECT_TRUE(Symbol::exists(QString::fromLatin1(icon))) << icon;
}
