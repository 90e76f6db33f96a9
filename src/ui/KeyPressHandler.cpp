#include "ui/KeyPressHandler.h"

#include <QKeyEvent>
#include <QWidget>

KeyPressHandler::KeyPressHandler(QWidget* widget, int key, std::function<void()> action)
    : QObject(widget)
    , m_key(key)
    , m_action(std::move(action)) {
    widget->installEventFilter(this);
}

bool KeyPressHandler::matches(int key) const {
    const auto isReturn = [](int k) { return k == Qt::Key_Return || k == Qt::Key_Enter; };
    return key == m_key || (isReturn(key) && isReturn(m_key));
}

bool KeyPressHandler::eventFilter(QObject* watched, QEvent* event) {
    // Claiming the shortcut override keeps window shortcuts from taking the key first.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (matches(keyEvent->key())) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            if (m_action)
                m_action();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget* onKeyPressIfAvailable(QWidget* widget, int key, std::function<void()> action) {
    if (widget)
        new KeyPressHandler(widget, key, std::move(action));
    return widget;
}
