#include "keyboardshortcuts/ActionShortcuts.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace KeyboardShortcuts {

namespace {

const char* const kBindingName = "KeyboardShortcutsBinding";

bool isChangeOf(const QVariantMap& userInfo, const Name& name) {
    const QVariant value = userInfo.value(NotificationKeys::name);
    return value.metaType() == QMetaType::fromType<Name>() && value.value<Name>() == name;
}

QKeySequence sequenceOf(const std::optional<Shortcut>& shortcut) {
    return shortcut ? shortcut->keySequence().value_or(QKeySequence()) : QKeySequence();
}

// Opens a subscription while the view is shown and closes it when the view is hidden or goes.
class ShownSubscription : public QObject {
public:
    ShownSubscription(QWidget* view, Name name, std::function<void(EventType)> handler)
        : QObject(view)
        , m_view(view)
        , m_name(std::move(name))
        , m_handler(std::move(handler)) {
        view->installEventFilter(this);
        if (view->isVisible())
            m_subscription = events(m_name, m_handler);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_view && event->type() == QEvent::Show && !m_subscription)
            m_subscription = events(m_name, m_handler);
        else if (watched == m_view && event->type() == QEvent::Hide)
            m_subscription.reset();
        return false;
    }

private:
    QWidget* m_view;
    Name m_name;
    std::function<void(EventType)> m_handler;
    std::unique_ptr<EventSubscription> m_subscription;
};

} // namespace

void setActionShortcut(QAction* action, const std::optional<Shortcut>& shortcut) {
    action->setShortcut(sequenceOf(shortcut));
}

void bindActionShortcut(QAction* action, const std::optional<Name>& name) {
    delete action->findChild<QObject*>(QLatin1String(kBindingName), Qt::FindDirectChildrenOnly);
    if (!name) {
        setActionShortcut(action, std::nullopt);
        return;
    }
    setActionShortcut(action, getShortcut(*name));
    auto* binding = new QObject(action);
    binding->setObjectName(QLatin1String(kBindingName));
    NotificationCenter::shared().addObserver(
        Notifications::ShortcutByNameDidChange, binding,
        [binding, action, bound = *name](const QVariantMap& userInfo) {
            if (isChangeOf(userInfo, bound))
                MainQueue::async([action, bound] { setActionShortcut(action, getShortcut(bound)); }, binding);
        });
}

void onKeyboardShortcut(QWidget* view, const Name& name, std::function<void(EventType)> handler) {
    new ShownSubscription(view, name, std::move(handler));
}

void onKeyboardShortcut(QWidget* view, const Name& name, EventType type, std::function<void()> handler) {
    onKeyboardShortcut(view, name, [type, handler = std::move(handler)](EventType event) {
        if (event == type)
            handler();
    });
}

void globalKeyboardShortcut(QAbstractButton* button, const Name& name) {
    auto* watcher = new QObject(button);
    auto recorderActive = std::make_shared<bool>(false);
    auto apply = [button, name, recorderActive] {
        button->setShortcut(*recorderActive ? QKeySequence() : sequenceOf(getShortcut(name)));
    };
    apply();
    NotificationCenter::shared().addObserver(Notifications::ShortcutByNameDidChange, watcher,
                                             [apply, name](const QVariantMap& userInfo) {
                                                 if (isChangeOf(userInfo, name))
                                                     apply();
                                             });
    NotificationCenter::shared().addObserver(
        Notifications::RecorderActiveStatusDidChange, watcher,
        [apply, recorderActive](const QVariantMap& userInfo) {
            const QVariant value = userInfo.value(NotificationKeys::isActive);
            *recorderActive = value.metaType() == QMetaType::fromType<bool>() && value.toBool();
            apply();
        });
}

} // namespace KeyboardShortcuts
