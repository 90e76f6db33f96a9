#pragma once

#include <QObject>

// System-wide hot keys. Key codes and modifiers use the stored shortcut format (virtual key codes and
// modifier bits of the original keyboard model); the implementation maps them onto the local keyboard.
class HotKeyService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // False when another client already holds the combination or it cannot be mapped.
    virtual bool registerHotKey(quint32 id, int keyCode, int modifiers) = 0;
    virtual void unregisterHotKey(quint32 id) = 0;
    // True when the combination is reserved by the desktop or another client.
    virtual bool isTakenBySystem(int keyCode, int modifiers) const = 0;
    // True while the key of a hot key that fired is still down, or a key held from before its grab (a menu
    // of ours that held the keyboard closed, say), whose next repeat the grab takes. The grab then takes
    // every key press, synthetic ones included, so keys meant for another application wait for
    // `hotKeysReleased`.
    virtual bool isHotKeyHeld() const = 0;

Q_SIGNALS:
    void hotKeyPressed(quint32 id);
    void hotKeyReleased(quint32 id);
    // A registration that could not follow a keyboard change (its key is gone or now taken) and ended.
    void hotKeyLost(quint32 id);
    // No hot key's key is down any more.
    void hotKeysReleased();
};
