#pragma once

#include "ui/PopoverWindow.h"

#include "menubar/translator/MenuBarView.h"
#include "platform/ActivationPolicy.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QVariantMap>
#include <functional>
#include <utility>
#include <vector>
class PopoverWindow;
class QAction;
class QKeyEvent;
class QMenu;

// The tray icon, its menu and the popover with the translator. It is the one place where the popover is
// opened, closed and re-configured; other parts call it or post "ClosePopover", "ToggleMenuBar" or
// "AlwaysOnTopChanged". With "alwaysOnTop" on, the popover closes only on Escape or a click on the tray
// icon; otherwise also on a press outside it.
class MenuBarManager : public QObject {
    Q_OBJECT
public:
    // Why the popover is asked to close; the close rule decides. "ClosePopover" and "ToggleMenuBar" are
    // requests: with "alwaysOnTop" on, only Escape and a click on the tray icon close it.
    enum class CloseReason { Escape, StatusItemClick, Request };

    static constexpr int popoverWidth = 400;
    static constexpr int activationDelayMs = 100;
    static constexpr int reshowDelayMs = 100;
    static constexpr int handOverDelayMs = 300;
    // How long after the press that closed the translator a tray click at the same place is that press's.
    static constexpr int trayClickMs = 1000;
    static constexpr int maximumSelectedTextLength = 5000;

    // The application's manager. With no system tray on the display it says so on stderr and opens the
    // popover once, at the top-right, as a second start would.
    static MenuBarManager& shared();
    // Whether the shared instance exists, without creating it.
    static bool hasShared();
    // Puts the tray icon up before the rest of the start-up exists; the shared manager takes it over.
    static void showTrayIconEarly();

    // A manager of its own (tests); the application uses shared().
    explicit MenuBarManager(QObject* parent = nullptr);
    ~MenuBarManager() override;

    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    PopoverWindow* popover() const { return m_popover; }
    QMenu* rightClickMenu() const { return m_rightClickMenu; }
    // The translator: made by the first showing or the first notification it must act on.
    MenuBarView* view() const { return m_view; }
    bool isAlwaysOnTop() const { return m_isAlwaysOnTop; }
    bool isPopoverShown() const;

    // Opens the popover under the tray icon and gives it the keyboard; when shown, only activates it.
    void showPopover();
    void showPopoverAtButton();
    // The tray icon's activation: a left click toggles the popover; the menu is the tray's own business.
    void handleTrayActivation(QSystemTrayIcon::ActivationReason reason);
    void toggleMenuBar(const QVariantMap& userInfo);
    void handleAlwaysOnTopChanged(const QVariantMap& userInfo);
    // Refuses a text of more than 5000 user-perceived characters with an inline warning; otherwise opens
    // the popover and hands languages and text to the translator 0.3 s later.
    void handleSelectedText(const QString& text, const QString& sourceLanguage,
                            const QString& targetLanguage);

    bool popoverShouldClose(CloseReason reason) const;
    void requestClose(CloseReason reason);

    void openSettings();
    void checkForUpdates();
    // What "Check for Updates" runs.
    void setCheckForUpdatesHandler(std::function<void()> handler) { m_checkForUpdates = std::move(handler); }
    // What "About Quillora" runs; the entry is in the menu while the application has a taskbar presence.
    void setAboutHandler(std::function<void()> handler) { m_showAbout = std::move(handler); }
    QAction* aboutAction() const { return m_aboutAction; }

    // Where the popover hangs: the tray icon, or the top-right corner of the screen under the pointer when
    // the tray reports no place.
    QRect anchorRect() const;
    // Where the translator opens for a click on a tray icon whose place nobody reports (a tray hosted
    // over D-Bus): at the pointer, which is on the icon, below it on the screen's upper half and above it
    // on the lower half, where the panel is.
    struct ClickAnchor {
        QRect rect;
        PopoverWindow::Edge edge;
    };
    static ClickAnchor anchorAtClick(QPoint pointer, const QRect& screen);
    // Where the tray menu of `size` opens from the icon at `icon`: beside it and clear of it, below an icon
    // in the upper half of `screen` and above one in the lower half, whole on the screen.
    static QPoint trayMenuPosition(const QRect& icon, QSize size, const QRect& screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupMenuBar();
    void openWhenNoTray();
    void followActivationPolicy(ActivationPolicy::Policy policy);
    void setupEventMonitor();
    void setupNotificationObservers();
    void holdViewNotifications();
    void ensureView();
    void applyBehavior();
    void updateContentSize();
    void placePopover(bool atTrayClick = false);
    void activatePopover();
    // The entry of ours in open menu `watched` whose keys `key` presses, if any.
    QAction* menuKeyAction(QObject* watched, const QKeyEvent& key) const;

    QPointer<QSystemTrayIcon> m_statusItem;
    PopoverWindow* m_popover = nullptr;
    QMenu* m_rightClickMenu = nullptr;
    QPointer<MenuBarView> m_view;
    QObject* m_holder = nullptr;
    std::vector<std::pair<QString, QVariantMap>> m_held;
    bool m_isAlwaysOnTop = false;
    bool m_eventMonitorInstalled = false;
    std::function<void()> m_checkForUpdates;
    std::function<void()> m_showAbout;
    QAction* m_aboutAction = nullptr;
    QAction* m_aboutSeparator = nullptr;
};
