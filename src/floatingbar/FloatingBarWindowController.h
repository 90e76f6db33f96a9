#pragma once

#include "platform/GlobalMouseMonitor.h"
#include "platform/MainQueue.h"
#include "ui/PopoverWindow.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>

class FloatingBarView;
class TranslationPopoverView;

// Owns one floating bar (shown at the pointer after a selection) and the translation popover opened
// from it. The bar never takes the keyboard focus, stays above other windows and is on every workspace.
// It hides itself 2 s after it was shown unless the pointer is on it or its options menu is open, on a
// click elsewhere, and on its own close and disable actions.
class FloatingBarWindowController : public QObject {
    Q_OBJECT
public:
    using TranslateClickHandler = std::function<void(const QString& text, const QString& targetLanguage)>;

    static constexpr int hideDelayMs = 2000;
    static constexpr int translateDelayMs = 100;
    static constexpr int popoverWidth = 450;

    FloatingBarWindowController(const QString& selectedText, const QString& detectedLanguage,
                                bool isInEditableField, QObject* parent = nullptr);
    ~FloatingBarWindowController() override;

    // Takes the next selection: the bar is then as a newly made one for it. What the previous selection
    // left goes: its popover with the request running in it, a translate click still on its way, the
    // options menu, the hover state.
    void setSelection(const QString& selectedText, const QString& detectedLanguage, bool isInEditableField);

    QString selectedText() const { return m_selectedText; }
    QString detectedLanguage() const { return m_detectedLanguage; }
    bool isInEditableField() const { return m_isInEditableField; }

    // Called (0.1 s after the click) with the selected text and the chosen target language.
    TranslateClickHandler onTranslateClicked;

    // Shows the bar with its lower-left corner at the rectangle's origin (global coordinates, the pointer),
    // that is above and to the right of the pointer, kept entirely on the pointer's screen; below the
    // pointer where there is no room above it.
    virtual void showWindow(const QRect& at);
    virtual void startHideTimer();
    virtual void showTranslationPopover(const QString& text, const QString& sourceLanguage,
                                        const QString& targetLanguage);
    // Orders the bar out (never destroys it).
    void hideWindow();

    // Height of the popover for a selected text: 22 points per line, 80 to 180, plus 240.
    static int popoverHeight(const QString& text);
    // Where the bar goes for a pointer at `pointer` on a screen with `screen` geometry. It never covers
    // the pointer or the line of text under it.
    static QRect barFrame(QPoint pointer, const QRect& screen);
    // What the popover opens beside: the bar together with the pointer and the line under it, so the
    // popover covers neither.
    static QRect popoverAnchor(const QRect& bar, QPoint pointer);
    // The side of the anchor the popover opens on: below, else above, else beside it where even its
    // tallest content fits without covering the anchor.
    static PopoverWindow::Edge popoverEdge(const QRect& anchor, const QRect& screen);
    // The line of text at the pointer across the screen: the selection may run anywhere along it.
    static QRect selectionLine(QPoint pointer, const QRect& screen);
    static constexpr int maximumPopoverHeight = 420;
    // The pointer's height below its hot spot, kept clear of the bar and the popover.
    static constexpr int pointerClearance = 24;

    QWidget* window() const { return m_window; }
    FloatingBarView* barView() const { return m_view; }
    PopoverWindow* translationPopover() const { return m_translationPopover; }
    TranslationPopoverView* translationPopoverView() const;
    bool isHideTimerActive() const { return m_hideTimer.isActive(); }
    // Whether clicks elsewhere are watched: from the turn after the bar or its popover shows until both
    // are gone.
    bool hasGlobalEventMonitor() const { return m_globalEventMonitor && m_globalEventMonitor->isRunning(); }

private:
    void startGlobalMonitorLater();
    void startGlobalMonitor();
    void stopGlobalMonitorWhenNothingShows();
    void handleGlobalMouseDown(const GlobalMouseEvent& event);
    void handleTranslate(const QString& targetLanguage);
    void disableForFrontmostApplication();
    void handleHoverChanged(bool isHovering, bool showingOptions);
    bool isPopoverShown() const;
    bool isOwnWindowAt(QPoint position) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QString m_selectedText;
    QString m_detectedLanguage = QStringLiteral("auto");
    bool m_isInEditableField;
    // Counts selections: what was on its way for an earlier one is dropped.
    quint64 m_selection = 0;

    QPointer<QWidget> m_window;
    FloatingBarView* m_view = nullptr;
    MainQueueTimer m_hideTimer;
    QPointer<PopoverWindow> m_translationPopover;
    std::unique_ptr<GlobalMouseMonitor> m_globalEventMonitor;
    bool m_globalMonitorPending = false;
    QPoint m_pointer;
    QRect m_frame;
    // The X server time of the last press a list (a picker's open menu) took, which only closes the list.
    qint64 m_lastPopupPressTime = -1;
    // The bar view's last reported hover and options-menu states.
    bool m_isHovering = false;
    bool m_showingOptions = false;
};
