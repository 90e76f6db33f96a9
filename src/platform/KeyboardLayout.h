#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The current keyboard layout, in terms of the stored virtual key codes.
class KeyboardLayout : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The character the key produces without modifiers, or empty when it produces none.
    virtual QString characterForKeyCode(int keyCode) const = 0;
    virtual std::optional<int> keyCodeForQtKey(int qtKey) const = 0;
    // The stored key code of the key behind a native key event (QKeyEvent::nativeScanCode()).
    virtual std::optional<int> keyCodeForNativeScanCode(quint32 scanCode) const = 0;

Q_SIGNALS:
    void layoutChanged();
};
