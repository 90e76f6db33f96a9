#include "menubar/MenuBarManager.h"

#include "menubar/TrayIconGeometry.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/TranslationHeader.h"
#include "platform/ActivationPolicy.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "services/TranslationManager.h"
#include "services/TranslationManagerService.h"
#include "ui/ImageAsset.h"
#include "ui/ImageAssetIconEngine.h"
#include "ui/PopoverWindow.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <algorithm>
#include <cstdio>

namespace {

const QString tag = QStringLiteral("MenuBarManager");
MenuBarManager* sharedInstance = nullptr;
QPointer<QSystemTrayIcon> earlyTrayIcon;

QIcon menuBarIcon() {
    // Hosts that look the icon up by name find the application's installed icon.
    return QIcon(new ImageAssetIconEngine(QStringLiteral("menubaricon"), QStringLiteral("quillora")));
}

QSystemTrayIcon* newTrayIcon(QObject* parent) {
    auto* icon = new QSystemTrayIcon(parent);
    icon->setIcon(menuBarIcon());
    icon->setToolTip(QStringLiteral("Quillora"));
    return icon;
}

void nameEmbeddedIcon() {
    // Its window would take the application's name, the translator's title.
    if (QWidget* icon = TrayIconGeometry::embeddedIconWidget())
        icon->setWindowTitle(QStringLiteral("Quillora tray icon"));
}

} // namespace

MenuBarManager& MenuBarManager::shared() {
    if (!sharedInstance) {
        sharedInstance = new MenuBarManager;
        // Gone while the application still runs: widgets destroyed after it would bring back some of its
        // machinery (the gesture manager) and leak it.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { delete sharedInstance; });
        sharedInstance->openWhenNoTray();
    }
    return *sharedInstance;
}

bool MenuBarManager::hasShared() {
    return sharedInstance != nullptr;
}

void MenuBarManager::showTrayIconEarly() {
    if (earlyTrayIcon || sharedInstance)
        return;
    earlyTrayIcon = newTrayIcon(qApp);
    earlyTrayIcon->show();
    nameEmbeddedIcon();
}

MenuBarManager::MenuBarManager(QObject* parent)
    : QObject(parent)
    , m_isAlwaysOnTop(UserDefaults::standard().boolean(QStringLiteral("alwaysOnTop"))) {
    setupMenuBar();
    setupEventMonitor();
    setupNotificationObservers();
    QPointer<MenuBarManager> self(this);
    TranslationManager::shared().setSelectedTextReceiver(
        [self](const QString& text, const QString& source, const QString& target) {
            if (self)
                self->handleSelectedText(text, source, target);
        });
}

MenuBarManager::~MenuBarManager() {
    if (sharedInstance == this)
        sharedInstance = nullptr;
    // The shared manager goes with the application object, which has already let go of its filters.
    if (m_eventMonitorInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    NotificationCenter::shared().removeObservers(this);
    if (m_view)
        m_view->removeEventFilter(this);
    delete m_popover;
    delete m_rightClickMenu;
    delete m_statusItem;
}

void MenuBarManager::setupMenuBar() {
    m_popover = new PopoverWindow(PopoverWindow::StaysOnTop);
    m_popover->setMaterial(VisualEffectView::Material::Popover);
    m_popover->setWindowTitle(QStringLiteral("Quillora"));
    applyBehavior();
    holdViewNotifications();

    if (earlyTrayIcon) {
        m_statusItem = earlyTrayIcon.data();
        m_statusItem->setParent(this);
        earlyTrayIcon = nullptr;
    } else {
        m_statusItem = newTrayIcon(this);
    }
    connect(m_statusItem, &QSystemTrayIcon::activated, this, &MenuBarManager::handleTrayActivation);

    m_rightClickMenu = new QMenu;
    m_rightClickMenu->installEventFilter(this);
    // The application menu that holds "About" elsewhere exists only with a taskbar presence; here the
    // tray menu holds it, under the same condition.
    m_aboutAction = m_rightClickMenu->addAction(QStringLiteral("About Quillora"), this, [this] {
        if (m_showAbout)
            m_showAbout();
    });
    m_aboutSeparator = m_rightClickMenu->addSeparator();
    if (hasPlatform()) {
        ActivationPolicy& policy = platform().activationPolicy();
        connect(&policy, &ActivationPolicy::policyChanged, this, &MenuBarManager::followActivationPolicy);
        followActivationPolicy(policy.policy());
    } else {
        followActivationPolicy(ActivationPolicy::Policy::Accessory);
    }
    QAction* settings =
        m_rightClickMenu->addAction(QStringLiteral("Settings"), this, &MenuBarManager::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_rightClickMenu->addAction(QStringLiteral("Check for Updates"), this, &MenuBarManager::checkForUpdates);
    m_rightClickMenu->addSeparator();
    QAction* quit = m_rightClickMenu->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The tray places its own menu on a right click; a left click stays ours.
    m_statusItem->setContextMenu(m_rightClickMenu);
    m_statusItem->show();
    nameEmbeddedIcon();
    // A tray hosted over D-Bus draws the menu itself and takes its keys, which then never reach us (and a
    // comma goes out as "," where a key name is expected): no keys are shown there rather than dead ones.
    if (QSystemTrayIcon::isSystemTrayAvailable() && !TrayIconGeometry::embeddedIconWidget()) {
        settings->setShortcut({});
        quit->setShortcut({});
    }
}

QAction* MenuBarManager::menuKeyAction(QObject* watched, const QKeyEvent& key) const {
    const auto* menu = qobject_cast<const QMenu*>(watched);
    if (!menu || !menu->isVisible() || key.key() == 0)
        return nullptr;
    const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    const QList<QAction*> ours = m_rightClickMenu->actions();
    for (QAction* action : menu->actions()) {
        if (ours.contains(action) && action->isVisible() && action->isEnabled() && !action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch)
            return action;
    }
    return nullptr;
}

void MenuBarManager::followActivationPolicy(ActivationPolicy::Policy policy) {
    const bool regular = policy == ActivationPolicy::Policy::Regular;
    m_aboutAction->setVisible(regular);
    m_aboutSeparator->setVisible(regular);
}

void MenuBarManager::openWhenNoTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // Without a tray host the icon never appears and the start would leave nothing to click; a tray that
    // comes later docks the icon by itself. Not a debug line: release builds say it too.
    std::fputs("Quillora: no system tray on this display; the translator opens at the top-right, and starting "
               "Quillora again shows it.\n",
               stderr);
    QPointer<MenuBarManager> self(this);
    MainQueue::async([self] {
        if (self)
            self->showPopover();
    });
}

void MenuBarManager::holdViewNotifications() {
    // The translator costs fonts, an editor and some megabytes: it is made when first shown or first
    // needed. What it would have heard until then waits here, in order.
    m_holder = new QObject(this);
    for (const QString& name : MenuBarView::notificationNames()) {
        NotificationCenter::shared().addObserver(name, m_holder, [this, name](const QVariantMap& info) {
            m_held.emplace_back(name, info);
            if (!MenuBarView::canWaitFor(name))
                ensureView();
        });
    }
}

void MenuBarManager::ensureView() {
    if (m_view && m_popover->contentWidget() == m_view)
        return;
    auto* view = new MenuBarView;
    m_view = view;
    if (m_holder) {
        NotificationCenter::shared().removeObservers(m_holder);
        delete m_holder;
        m_holder = nullptr;
    }
    for (const auto& [name, info] : std::exchange(m_held, {}))
        view->receive(name, info);
    m_popover->setContentWidget(view);
    view->installEventFilter(this);
    // The tray menu's entries are also on the translator's header: without a tray they have no other place.
    QWidget* header = view->header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& position) {
        auto* menu = new QMenu(header);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addActions(m_rightClickMenu->actions());
        menu->popup(header->mapToGlobal(position));
    });
    connect(view, &MenuBarView::showPopoverRequested, this, [this] {
        if (!isPopoverShown())
            showPopover();
    });
    updateContentSize();
}

void MenuBarManager::updateContentSize() {
    if (!m_view)
        return;
    const int height = std::max(1, m_view->sizeHint().height());
    const QSize size(popoverWidth, height);
    if (size != m_popover->contentSize())
        m_popover->setContentSize(size);
}

void MenuBarManager::applyBehavior() {
    m_popover->setBehavior(m_isAlwaysOnTop ? PopoverWindow::Behavior::ApplicationDefined
                                           : PopoverWindow::Behavior::Transient);
    // Without Always on Top the translator is stacked like any window: the settings window opened from
    // its gear comes in front of it.
    m_popover->setStaysOnTop(m_isAlwaysOnTop);
}

void MenuBarManager::setupEventMonitor() {
    qApp->installEventFilter(this);
    m_eventMonitorInstalled = true;
}

void MenuBarManager::setupNotificationObservers() {
    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(Notifications::ClosePopover, this,
                       [this](const QVariantMap&) { requestClose(CloseReason::Request); });
    center.addObserver(Notifications::AlwaysOnTopChanged, this,
                       [this](const QVariantMap& info) { handleAlwaysOnTopChanged(info); });
    center.addObserver(Notifications::ToggleMenuBar, this,
                       [this](const QVariantMap& info) { toggleMenuBar(info); });
}

bool MenuBarManager::isPopoverShown() const {
    return m_popover && m_popover->isShown();
}

QRect MenuBarManager::anchorRect() const {
    const QRect icon = TrayIconGeometry::of(m_statusItem);
    if (icon.isValid() && !icon.isEmpty())
        return icon;
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect area = screen->availableGeometry();
    return {area.right(), area.top(), 1, 0};
}

MenuBarManager::ClickAnchor MenuBarManager::anchorAtClick(QPoint pointer, const QRect& screen) {
    const bool upperHalf = pointer.y() < screen.top() + screen.height() / 2;
    return {QRect(pointer, QSize(1, 1)), upperHalf ? PopoverWindow::Edge::Bottom : PopoverWindow::Edge::Top};
}

QPoint MenuBarManager::trayMenuPosition(const QRect& icon, QSize size, const QRect& screen) {
    const bool upperHalf = icon.center().y() < screen.top() + screen.height() / 2;
    const int x = std::clamp(icon.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y = upperHalf ? icon.bottom() + 1 : icon.top() - size.height();
    return {x, std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()))};
}

void MenuBarManager::placePopover(bool atTrayClick) {
    ensureView();
    updateContentSize();
    // The translator stands for the application in taskbars: it follows "Show in Dock" as other windows do.
    if (!m_popover->windowHandle())
        m_popover->winId();
    m_popover->windowHandle()->setProperty("quilloraAppWindow", true);
    const QRect icon = TrayIconGeometry::of(m_statusItem);
    const bool iconPlaced = icon.isValid() && !icon.isEmpty();
    m_popover->setArrowVisible(iconPlaced);
    m_popover->setAnchorWidget(TrayIconGeometry::embeddedIconWidget());
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!iconPlaced && atTrayClick && screen) {
        const ClickAnchor anchor = anchorAtClick(QCursor::pos(), screen->geometry());
        m_popover->showRelativeTo(anchor.rect, anchor.edge);
        return;
    }
    m_popover->showRelativeTo(anchorRect(), PopoverWindow::Edge::Bottom);
}

void MenuBarManager::showPopoverAtButton() {
    placePopover(true);
    activatePopover();
}

void MenuBarManager::showPopover() {
    ensureView();
    if (isPopoverShown()) {
        activatePopover();
        return;
    }
    placePopover();
    // Our window that had the keyboard may lose it meanwhile to the grab of the hot key that opened the
    // translator, and the application seems to go inactive: no other application took the keyboard.
    m_popover->expectActivation();
    QPointer<PopoverWindow> popover(m_popover);
    MainQueue::asyncAfter(activationDelayMs, [popover] {
        if (popover && popover->isVisible()) {
            popover->raise();
            popover->activateWindow();
        }
    });
}

void MenuBarManager::activatePopover() {
    m_popover->raise();
    m_popover->activateWindow();
}

void MenuBarManager::handleTrayActivation(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        if (isPopoverShown())
            requestClose(CloseReason::StatusItemClick);
        // A tray drawn by another program: the press of this very click, in that program's window, has
        // closed the translator already.
        else if (!m_popover->wasClosedByPressAt(QCursor::pos(), trayClickMs))
            showPopoverAtButton();
        break;
    case QSystemTrayIcon::Context:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

bool MenuBarManager::popoverShouldClose(CloseReason reason) const {
    if (reason == CloseReason::Escape || reason == CloseReason::StatusItemClick)
        return true;
    return !m_isAlwaysOnTop;
}

void MenuBarManager::requestClose(CloseReason reason) {
    if (!isPopoverShown())
        return;
    if (!popoverShouldClose(reason)) {
        debugLog(tag, QStringLiteral("📌 Her zaman üstte: kapatma isteği reddedildi"));
        return;
    }
    m_popover->performClose();
}

void MenuBarManager::toggleMenuBar(const QVariantMap& userInfo) {
    const QVariant value = userInfo.value(NotificationKeys::isOCR);
    const bool isOCR = value.typeId() == QMetaType::Bool && value.toBool();
    if (isOCR) {
        requestClose(CloseReason::Request);
        return;
    }
    if (isPopoverShown())
        requestClose(CloseReason::Request);
    else
        showPopover();
}

void MenuBarManager::handleAlwaysOnTopChanged(const QVariantMap& userInfo) {
    const QVariant value = userInfo.value(NotificationKeys::value);
    if (value.typeId() != QMetaType::Bool)
        return;
    m_isAlwaysOnTop = value.toBool();
    applyBehavior();
    if (!isPopoverShown())
        return;
    requestClose(CloseReason::Request);
    QPointer<MenuBarManager> self(this);
    MainQueue::asyncAfter(reshowDelayMs, [self] {
        if (self)
            self->showPopoverAtButton();
    });
}

void MenuBarManager::handleSelectedText(const QString& text, const QString& sourceLanguage,
                                        const QString& targetLanguage) {
    if (TranslationManagerService::characterCount(text, maximumSelectedTextLength) >
        maximumSelectedTextLength) {
        if (!isPopoverShown())
            showPopover();
        NotificationCenter::shared().post(
            Notifications::ShowInlineAlert,
            {{NotificationKeys::message,
              QStringLiteral("The selected text exceeds %1 characters. Please select a smaller portion for "
                             "better translation results.")
                  .arg(maximumSelectedTextLength)},
             {NotificationKeys::type, QStringLiteral("warning")}});
        return;
    }
    if (!isPopoverShown())
        showPopover();
    MainQueue::asyncAfter(handOverDelayMs, [text, sourceLanguage, targetLanguage] {
        NotificationCenter& center = NotificationCenter::shared();
        center.post(Notifications::SetTranslationLanguages,
                    {{NotificationKeys::sourceLanguage, sourceLanguage},
                     {NotificationKeys::targetLanguage, targetLanguage}});
        center.post(Notifications::SetTranslationInput, {{NotificationKeys::text, text}});
    });
}

void MenuBarManager::openSettings() {
    NotificationCenter::shared().post(Notifications::OpenSettingsWindow);
}

void MenuBarManager::checkForUpdates() {
    if (m_checkForUpdates)
        m_checkForUpdates();
    else
        debugLog(tag, QStringLiteral("⚠️ Güncelleme denetleyicisi yok"));
}

bool MenuBarManager::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_rightClickMenu && event->type() == QEvent::Show && TrayIconGeometry::embeddedIconWidget()) {
        // A tray that embeds the icon has the toolkit open the menu at the pointer, over half the icon;
        // it is moved beside the icon before it is mapped.
        const QRect icon = TrayIconGeometry::of(m_statusItem);
        if (QScreen* screen = icon.isEmpty() ? nullptr : QGuiApplication::screenAt(icon.center()))
            m_rightClickMenu->move(trayMenuPosition(icon, m_rightClickMenu->size(), screen->geometry()));
    }
    if (!m_view && event->type() == QEvent::Enter && watched->inherits("QSystemTrayIconSys")) {
        // The pointer on its way to a click: the translator is made now, not between click and frame.
        QPointer<MenuBarManager> self(this);
        MainQueue::async([self] {
            if (self)
                self->ensureView();
        });
    }
    if (watched == m_view && event->type() == QEvent::LayoutRequest) {
        // The translator grows and shrinks with its content; the popover follows.
        QPointer<MenuBarManager> self(this);
        MainQueue::async([self] {
            if (self)
                self->updateContentSize();
        });
    }
    if (event->type() == QEvent::KeyPress) {
        // An open menu holds the keyboard, and the toolkit acts on the keys an entry shows only for menus of
        // a window's menu bar: the tray menu's (and the header's copy of it) act here, the menu closed first.
        if (QAction* action = menuKeyAction(watched, *static_cast<QKeyEvent*>(event))) {
            static_cast<QMenu*>(watched)->close();
            action->trigger();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && isPopoverShown() && !QApplication::activePopupWidget()) {
        // Escape closes the popover wherever the key goes in this application; an open picker closes
        // itself first.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && watched->isWidgetType()) {
            requestClose(CloseReason::Escape);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
