#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs an action when a key is pressed in a widget, and consumes the press. Modifiers are not told
// apart; Return and Enter count as one key.
class KeyPressHandler : public QObject {
    Q_OBJECT
public:
    KeyPressHandler(QWidget* widget, int key, std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool matches(int key) const;

    int m_key;
    std::function<void()> m_action;
};

// Installs a KeyPressHandler on `widget` and returns the widget.
QWidget* onKeyPressIfAvailable(QWidget* widget, int key, std::function<void()> action);
