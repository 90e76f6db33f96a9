#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

// Hands the outcome of every screen-text recognition run ("OCRCompleted") to the user: recognised text
// goes onto the clipboard (with the toast "Copied to clipboard") and into the translator's input
// ("SetTranslationInput"), then the popover opens. A failed run, or one that found no text, leaves
// clipboard and input alone and opens the popover on a banner that says so.
class MenuBarManager;

class OCRManager : public QObject {
    Q_OBJECT
public:
    // Lets "SetTranslationInput" reach the view before the popover opens.
    static constexpr int popoverDelayMs = 100;

    // Created by the application's full start; from then on it hears every run.
    static OCRManager& shared();

    // A hand-off of its own to `menuBar` (tests); it hears runs until it is destroyed.
    explicit OCRManager(MenuBarManager& menuBar, QObject* parent = nullptr);

    void handleOCRCompleted(const QVariantMap& userInfo);
    void showMenuBarPopover();

    static QString noTextMessage();
    // The banner text of a failed run: its own message, or a general one when it carries none.
    static QString failureMessage(const QString& error);

private:
    QPointer<MenuBarManager> m_menuBar;
};
