#pragma once

#include <memory>

class AccessibilityBus;
class AccessibilityPermission;
class ActivationPolicy;
class AudioPlayer;
class DeviceIdentity;
class GlobalMouseMonitor;
class HotKeyService;
class KeyEventPoster;
class KeyboardLayout;
class LanguageRecognizer;
class LoginItem;
class Pasteboard;
class ScreenCapture;
class WindowSystem;
class Workspace;

// The operating-system services, one object each. The application installs the X11 platform at start;
// tests install a scriptable fake. Services a platform does not provide are absent (null).
class Platform {
public:
    virtual ~Platform();

    Pasteboard& pasteboard() const;
    GlobalMouseMonitor& globalMouseMonitor() const;
    KeyEventPoster& keyEventPoster() const;
    Workspace& workspace() const;
    AccessibilityPermission& accessibilityPermission() const;
    ScreenCapture& screenCapture() const;
    HotKeyService& hotKeyService() const;
    KeyboardLayout& keyboardLayout() const;
    LoginItem& loginItem() const;
    ActivationPolicy& activationPolicy() const;
    LanguageRecognizer& languageRecognizer() const;
    DeviceIdentity& deviceIdentity() const;
    WindowSystem& windowSystem() const;
    // Null where the platform has no accessibility bus.
    AccessibilityBus* accessibilityBus() const { return m_accessibilityBus.get(); }

    // A new player for one clip, owned by the caller; null when this machine cannot play audio.
    virtual std::unique_ptr<AudioPlayer> createAudioPlayer() const = 0;

    // A mouse monitor of the caller's own, next to the shared one (which has a single handler); null when
    // the platform offers no global monitoring.
    virtual std::unique_ptr<GlobalMouseMonitor> createGlobalMouseMonitor() const;

protected:
    Platform();

    std::unique_ptr<Pasteboard> m_pasteboard;
    std::unique_ptr<GlobalMouseMonitor> m_globalMouseMonitor;
    std::unique_ptr<KeyEventPoster> m_keyEventPoster;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<AccessibilityPermission> m_accessibilityPermission;
    std::unique_ptr<ScreenCapture> m_screenCapture;
    std::unique_ptr<HotKeyService> m_hotKeyService;
    std::unique_ptr<KeyboardLayout> m_keyboardLayout;
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<ActivationPolicy> m_activationPolicy;
    std::unique_ptr<LanguageRecognizer> m_languageRecognizer;
    std::unique_ptr<DeviceIdentity> m_deviceIdentity;
    std::unique_ptr<WindowSystem> m_windowSystem;
    std::unique_ptr<AccessibilityBus> m_accessibilityBus;
};

// The installed platform. Installing replaces (and destroys) the previous one.
Platform& platform();
bool hasPlatform();
void installPlatform(std::unique_ptr<Platform> platform);
