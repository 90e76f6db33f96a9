#pragma once

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QSet>
#include <cstdint>
#include <optional>

class X11KeyboardLayout;

// Hot keys as passive key grabs on the root window of Qt's own connection, one grab for each
// NumLock/CapsLock variant, so the locks never stop a hot key. A grab another client holds answers
// BadAccess, which is a failed registration. Grabs follow keyboard layout changes. A fired hot key counts
// as held until its key's release, wherever the server reports that release.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11HotKeyService(X11KeyboardLayout& layout, QObject* parent = nullptr);
    ~X11HotKeyService() override;

    bool registerHotKey(quint32 id, int keyCode, int modifiers) override;
    void unregisterHotKey(quint32 id) override;
    bool isTakenBySystem(int keyCode, int modifiers) const override;
    bool isHotKeyHeld() const override { return !m_held.isEmpty() || !m_downAtGrab.isEmpty(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Combination {
        std::uint8_t keycode = 0;
        std::uint16_t mods = 0;
        bool operator==(const Combination&) const = default;
    };
    struct Registration {
        int keyCode;
        int modifiers;
        Combination combination;
    };

    std::optional<Combination> combinationFor(int keyCode, int modifiers) const;
    // Grabs every lock variant; on any failure releases what it took and answers false.
    bool grab(const Combination& combination) const;
    void ungrab(const Combination& combination) const;
    bool isKeyDown(std::uint8_t keycode) const;
    void holdBackIfDown(std::uint8_t keycode);
    QList<std::uint16_t> lockVariants() const;
    std::uint16_t findNumLockMask() const;
    void followLayout();
    void ensureFiltering();
    void deliver(quint32 id, bool pressed);
    void release(std::uint8_t keycode);
    void endHoldIfNoneLeft();
    void watchRawReleases(bool on);

    X11KeyboardLayout& m_layout;
    std::uint32_t m_root = 0;
    std::uint16_t m_numLockMask = 0;
    bool m_filtering = false;
    // XInput's opcode on Qt's connection, 0 without XInput 2; raw releases are selected while a key is held.
    std::optional<std::uint8_t> m_xinputOpcode;
    bool m_watchingRawReleases = false;
    QHash<quint32, Registration> m_registrations;
    // Keycodes whose press was reported, with the hot key it fired: a held key is one press. A key held
    // from before its grab fires none, though the grab its repeat took holds the keyboard all the same.
    QHash<std::uint8_t, std::optional<quint32>> m_held;
    // Keys that were down when their grab was made: none of their presses is new until they come up.
    QSet<std::uint8_t> m_downAtGrab;
};
