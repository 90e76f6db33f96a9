#pragma once

#include <QString>

// Every name posted on NotificationCenter, and the payload keys that more than one file reads or writes.
// The strings are the names the parts of the program agree on: change a constant's name freely, never its
// text. Each line: payload {key: type}, then posters -> observers. Until the translator view is made,
// MenuBarManager hears the view's names in its place and hands them over in order.
namespace Notifications {

// {text, sourceLanguage, targetLanguage: QString}. SelectionMonitor -> TranslationManager, MenuBarView.
inline const QString TranslateSelectedText = QStringLiteral("TranslateSelectedText");
// {trigger_source: QString}. KeyboardShortcutManager, TranslateButton, FloatingBarView -> TranslationManager.
inline const QString TranslateWithTriggerSource = QStringLiteral("TranslateWithTriggerSource");
// {text: QString, ocrID: QString, error: QString on failure}. OCRService -> OCRManager.
inline const QString OCRCompleted = QStringLiteral("OCRCompleted");
// No payload. MenuBarView, OCRManagerService -> MenuBarManager.
inline const QString ClosePopover = QStringLiteral("ClosePopover");
// {isOCR: bool, optional}. KeyboardShortcutManager -> MenuBarManager.
inline const QString ToggleMenuBar = QStringLiteral("ToggleMenuBar");
// No payload. KeyboardShortcutManager, TextInputView -> MenuBarView.
inline const QString StartOCRCapture = QStringLiteral("StartOCRCapture");
// {sourceLanguage, targetLanguage: QString}. MenuBarManager -> MenuBarView.
inline const QString SetTranslationLanguages = QStringLiteral("SetTranslationLanguages");
// {text: QString}. MenuBarManager, OCRManager -> MenuBarView.
inline const QString SetTranslationInput = QStringLiteral("SetTranslationInput");
// {trigger_source: QString}. TextInputView -> MenuBarView.
inline const QString StartTranslation = QStringLiteral("StartTranslation");
// {sourceText, translatedText, sourceLanguageCode, targetLanguageCode, serviceRawValue: QString}.
// SavedTranslationsView (from TranslationHistoryItem) -> MenuBarView, which also takes sourceLanguage,
// targetLanguage and service in their place.
inline const QString LoadTranslation = QStringLiteral("LoadTranslation");
// {message: QString, type: QString "info"/"warning"/"error"/"success"}.
// MenuBarManager, OCRManager -> MenuBarView.
inline const QString ShowInlineAlert = QStringLiteral("ShowInlineAlert");
// {isManualSwap: bool}. NotificationService (LanguageSelector) -> MenuBarView.
inline const QString SwapTranslation = QStringLiteral("SwapTranslation");
// No payload. Nothing posts it -> MenuBarView.
inline const QString FocusTextInput = QStringLiteral("FocusTextInput");
// No payload. TranslationHeader -> MenuBarView.
inline const QString OpenHistoryWindow = QStringLiteral("OpenHistoryWindow");
// No payload. TranslationHeader -> MenuBarView.
inline const QString OpenFavoritesWindow = QStringLiteral("OpenFavoritesWindow");
// No payload. SavedTranslationsView (HistoryView) -> MenuBarView.
inline const QString CloseHistoryWindow = QStringLiteral("CloseHistoryWindow");
// No payload. SavedTranslationsView (FavoritesView) -> MenuBarView.
inline const QString CloseFavoritesWindow = QStringLiteral("CloseFavoritesWindow");
// No payload. TranslationHeader, MenuBarManager -> SettingsWindowManager.
inline const QString OpenSettingsWindow = QStringLiteral("OpenSettingsWindow");
// No payload. SettingsManager -> MenuBarView.
inline const QString SettingsReset = QStringLiteral("SettingsReset");
// No payload. SettingsManager -> MenuBarView.
inline const QString LanguageChanged = QStringLiteral("LanguageChanged");
// {value: bool}. FloatingBarNotificationService (GeneralTabView) -> MenuBarManager.
inline const QString AlwaysOnTopChanged = QStringLiteral("AlwaysOnTopChanged");
// {value: bool}. AppDelegate, FloatingBarNotificationService (FloatingBarTabView) -> SelectionMonitor,
// FloatingBarManager.
inline const QString FloatingBarVisibilityChanged = QStringLiteral("FloatingBarVisibilityChanged");
// {apps: QStringList}. ExcludedAppsManager, FloatingBarNotificationService (FloatingBarWindowController)
// -> SelectionMonitor, FloatingBarTabView.
inline const QString ExcludedAppsChanged = QStringLiteral("ExcludedAppsChanged");
// {value: bool}. DockIconManager -> AppDelegate (two observers).
inline const QString DockIconVisibilityChanged = QStringLiteral("DockIconVisibilityChanged");
// {hasCompletedOnboarding, hasAccessibilityPermission, hasScreenCapturePermission: bool}.
// OnboardingView -> AppDelegate, QuilloraApp.
inline const QString OnboardingCompleted = QStringLiteral("OnboardingCompleted");
// No payload. Nothing posts it -> AppDelegate.
inline const QString ShowOnboardingWindow = QStringLiteral("ShowOnboardingWindow");
// No payload. GeneralTabView -> SettingsView.
inline const QString ShowResetAlert = QStringLiteral("ShowResetAlert");
// No payload. NotificationService (MenuBarView's input focus) -> nothing observes it.
inline const QString TextFieldDidBecomeActive = QStringLiteral("TextFieldDidBecomeActive");
// No payload. NotificationService (MenuBarView's input focus) -> nothing observes it.
inline const QString TextFieldDidResignActive = QStringLiteral("TextFieldDidResignActive");
// {name: KeyboardShortcuts::Name}. KeyboardShortcuts (set/reset) -> Recorder, ActionShortcuts.
inline const QString ShortcutByNameDidChange = QStringLiteral("KeyboardShortcuts_shortcutByNameDidChange");
// {name: KeyboardShortcuts::Name}. KeyboardShortcuts (a stored shortcut refused or lost by the platform,
// or grabbed on a later try) -> Recorder.
inline const QString ShortcutBindingDidChange = QStringLiteral("KeyboardShortcuts_shortcutBindingDidChange");
// {isActive: bool}. Recorder -> ActionShortcuts (globalKeyboardShortcut).
inline const QString RecorderActiveStatusDidChange =
    QStringLiteral("KeyboardShortcuts_recorderActiveStatusDidChange");

} // namespace Notifications

namespace NotificationKeys {

inline const QString text = QStringLiteral("text");
inline const QString sourceLanguage = QStringLiteral("sourceLanguage");
inline const QString targetLanguage = QStringLiteral("targetLanguage");
inline const QString triggerSource = QStringLiteral("trigger_source");
inline const QString error = QStringLiteral("error");
inline const QString isOCR = QStringLiteral("isOCR");
inline const QString sourceText = QStringLiteral("sourceText");
inline const QString translatedText = QStringLiteral("translatedText");
inline const QString sourceLanguageCode = QStringLiteral("sourceLanguageCode");
inline const QString targetLanguageCode = QStringLiteral("targetLanguageCode");
inline const QString serviceRawValue = QStringLiteral("serviceRawValue");
inline const QString message = QStringLiteral("message");
inline const QString type = QStringLiteral("type");
inline const QString value = QStringLiteral("value");
inline const QString apps = QStringLiteral("apps");
inline const QString hasCompletedOnboarding = QStringLiteral("hasCompletedOnboarding");
inline const QString hasAccessibilityPermission = QStringLiteral("hasAccessibilityPermission");
inline const QString hasScreenCapturePermission = QStringLiteral("hasScreenCapturePermission");
inline const QString name = QStringLiteral("name");
inline const QString isActive = QStringLiteral("isActive");

} // namespace NotificationKeys
