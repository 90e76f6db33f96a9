#pragma once

#include "services/TranslationService.h"
#include "shortcuts/PointerTranslationPopover.h"
#include "shortcuts/SelectionCapture.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class SelectionReplacer;

// The four global shortcuts' actions: show or hide the menu-bar popover, translate the selection in a
// popover at the pointer, translate the selection and paste the translation over it, start a screen
// capture for text recognition. While a text field of this application is being edited, they do nothing.
class KeyboardShortcutManager : public QObject {
    Q_OBJECT
public:
    using ToastHandler = std::function<void(const QString& message, const QString& icon, double duration)>;

    static inline const QString toggleMenuBar = QStringLiteral("toggleMenuBar");
    static inline const QString translateSelection = QStringLiteral("translateSelection");
    static inline const QString translateAndReplace = QStringLiteral("translateAndReplace");
    static inline const QString startOCR = QStringLiteral("startOCR");

    static constexpr int ocrCaptureDelayMs = 100;
    static inline const QString copyFailedMessage =
        QStringLiteral("Metin kopyalanamadı. Lütfen bir metin seçtiğinizden emin olun ve tekrar deneyin.");

    // Created on first use, with its shortcuts attached.
    static KeyboardShortcutManager& shared();

    explicit KeyboardShortcutManager(QObject* parent = nullptr);
    ~KeyboardShortcutManager() override;

    // Attaches the four actions to their recorded shortcuts.
    void setupShortcuts();

    // A line edit of this application has the keyboard in an active window other than a popup.
    bool isTextFieldActive() const;

    void handleToggleMenuBarShortcut();
    void handleTranslateSelectionShortcut();
    void handleTranslateAndReplaceShortcut();
    void handleStartOCRShortcut();
    void startOCRCapture();

    void showTranslationPopover(const QString& text, const QString& source, const QString& target,
                                TranslationService service);

    // The recogniser's language of the text, or Turkish for letters only Turkish uses (and for Turkish
    // letters in a text the recogniser cannot place).
    static QString detectLanguage(const QString& text);
    // The stored target, or a fallback when it equals the detected language.
    static QString resolveTargetLanguage(const QString& detected, const QString& target);
    static TranslationService shortcutService();

    // Toasts go to the global toast panel; tests replace this.
    void setToastHandler(ToastHandler handler);

    PointerTranslationPopover* translationPopover() const { return m_translationPopover; }
    SelectionReplacer* replacer() const { return m_replacer; }
    // The "nothing copied" alert while it is shown.
    QMessageBox* errorAlert() const { return m_errorAlert; }
    bool isCapturing() const { return m_isCapturing; }

Q_SIGNALS:
    // A capture ended: with the text it found, or empty when nothing was copied.
    void selectionCaptured(const QString& text);

private:
    void captureSelection(std::function<void(const CapturedSelection&, const QString& source,
                                             const QString& target, TranslationService service)>
                              continuation);
    void showError(const QString& message);

    SelectionCapture* m_capture = nullptr;
    SelectionReplacer* m_replacer = nullptr;
    ToastHandler m_toast;
    QPointer<PointerTranslationPopover> m_translationPopover;
    QPointer<QMessageBox> m_errorAlert;
    bool m_isCapturing = false;
    // The toggle and screen-capture shortcuts pressed during a capture.
    QList<std::function<void()>> m_afterCapture;
};
