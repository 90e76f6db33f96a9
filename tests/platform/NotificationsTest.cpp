#include "platform/Notifications.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Pinned = std::vector<std::pair<const QString*, const char*>>;

// The texts are what posters and observers agree on; renaming a constant must never change one.
const Pinned& pinnedNames() {
    static const Pinned names{
        {&Notifications::TranslateSelectedText, "TranslateSelectedText"},
        {&Notifications::TranslateWithTriggerSource, "TranslateWithTriggerSource"},
        {&Notifications::OCRCompleted, "OCRCompleted"},
        {&Notifications::ClosePopover, "ClosePopover"},
        {&Notifications::ToggleMenuBar, "ToggleMenuBar"},
        {&Notifications::StartOCRCapture, "StartOCRCapture"},
        {&Notifications::SetTranslationLanguages, "SetTranslationLanguages"},
        {&Notifications::SetTranslationInput, "SetTranslationInput"},
        {&Notifications::StartTranslation, "StartTranslation"},
        {&Notifications::LoadTranslation, "LoadTranslation"},
        {&Notifications::ShowInlineAlert, "ShowInlineAlert"},
        {&Notifications::SwapTranslation, "SwapTranslation"},
        {&Notifications::FocusTextInput, "FocusTextInput"},
        {&Notifications::OpenHistoryWindow, "OpenHistoryWindow"},
        {&Notifications::OpenFavoritesWindow, "OpenFavoritesWindow"},
        {&Notifications::CloseHistoryWindow, "CloseHistoryWindow"},
        {&Notifications::CloseFavoritesWindow, "CloseFavoritesWindow"},
        {&Notifications::OpenSettingsWindow, "OpenSettingsWindow"},
        {&Notifications::SettingsReset, "SettingsReset"},
        {&Notifications::LanguageChanged, "LanguageChanged"},
        {&Notifications::AlwaysOnTopChanged, "AlwaysOnTopChanged"},
        {&Notifications::FloatingBarVisibilityChanged, "FloatingBarVisibilityChanged"},
        {&Notifications::ExcludedAppsChanged, "ExcludedAppsChanged"},
        {&Notifications::DockIconVisibilityChanged, "DockIconVisibilityChanged"},
        {&Notifications::OnboardingCompleted, "OnboardingCompleted"},
        {&Notifications::ShowOnboardingWindow, "ShowOnboardingWindow"},
        {&Notifications::ShowResetAlert, "ShowResetAlert"},
        {&Notifications::TextFieldDidBecomeActive, "TextFieldDidBecomeActive"},
        {&Notifications::TextFieldDidResignActive, "TextFieldDidResignActive"},
        {&Notifications::ShortcutByNameDidChange, "KeyboardShortcuts_shortcutByNameDidChange"},
        {&Notifications::ShortcutBindingDidChange, "KeyboardShortcuts_shortcutBindingDidChange"},
        {&Notifications::RecorderActiveStatusDidChange, "KeyboardShortcuts_recorderActiveStatusDidChange"},
    };
    return names;
}

TEST(NotificationsTest, EveryNameAndSharedKeyKeepsItsExactText) {
    QSet<QString> distinct;
    for (const auto& [constant, text] : pinnedNames()) {
        EXPECT_EQ(*constant, QLatin1String(text));
        distinct.insert(*constant);
    }
    EXPECT_EQ(distinct.size(), qsizetype(pinnedNames().size())) << "two constants share one name";

    const Pinned keys{
        {&NotificationKeys::text, "text"},
        {&NotificationKeys::sourceLanguage, "sourceLanguage"},
        {&NotificationKeys::targetLanguage, "targetLanguage"},
        {&NotificationKeys::triggerSource, "trigger_source"},
        {&NotificationKeys::error, "error"},
        {&NotificationKeys::isOCR, "isOCR"},
        {&NotificationKeys::sourceText, "sourceText"},
        {&NotificationKeys::translatedText, "translatedText"},
        {&NotificationKeys::sourceLanguageCode, "sourceLanguageCode"},
        {&NotificationKeys::targetLanguageCode, "targetLanguageCode"},
        {&NotificationKeys::serviceRawValue, "serviceRawValue"},
        {&NotificationKeys::message, "message"},
        {&NotificationKeys::type, "type"},
        {&NotificationKeys::value, "value"},
        {&NotificationKeys::apps, "apps"},
        {&NotificationKeys::hasCompletedOnboarding, "hasCompletedOnboarding"},
        {&NotificationKeys::hasAccessibilityPermission, "hasAccessibilityPermission"},
        {&NotificationKeys::hasScreenCapturePermission, "hasScreenCapturePermission"},
        {&NotificationKeys::name, "name"},
        {&NotificationKeys::isActive, "isActive"},
    };
    for (const auto& [constant, text] : keys)
        EXPECT_EQ(*constant, QLatin1String(text));
}

TEST(NotificationsTest, SourcesSpellNoNameOutsideTheRegister) {
    // A name written out again in code would drift from the register unnoticed; comments may quote it.
    QStringList alternatives;
    for (const auto& [constant, text] : pinnedNames())
        alternatives << QRegularExpression::escape(*constant);
    const QRegularExpression quoted(QStringLiteral("\"(%1)\"").arg(alternatives.join(QLatin1Char('|'))));
    const QString root = QStringLiteral(QUILLORA_SOURCE_DIR "/src");
    const QString registerFile = root + QStringLiteral("/platform/Notifications.h");

    QStringList offenders;
    int files = 0;
    QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path == registerFile)
            continue;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        int number = 0;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            ++number;
            QString line = QString::fromUtf8(raw);
            const qsizetype comment = line.indexOf(QLatin1String("//"));
            if (comment >= 0)
                line.truncate(comment);
            if (quoted.match(line).hasMatch())
                offenders << QStringLiteral("%1:%2").arg(path.mid(root.size() + 1)).arg(number);
        }
    }
    EXPECT_GT(files, 100);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(QLatin1Char('\n')).toStdString();
}

} // namespace
