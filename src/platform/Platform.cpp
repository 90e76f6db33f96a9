#include "platform/Platform.h"

#include "platform/AccessibilityBus.h"

#include "platform/AccessibilityPermission.h"
#include "platform/ActivationPolicy.h"
#include "platform/AudioPlayer.h"
#include "platform/DeviceIdentity.h"
#include "platform/GlobalMouseMonitor.h"
#include "platform/HotKeyService.h"
#include "platform/KeyEventPoster.h"
#include "platform/KeyboardLayout.h"
#include "platform/LanguageRecognizer.h"
#include "platform/LoginItem.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "platform/WindowSystem.h"
#include "platform/Workspace.h"

#include <QtGlobal>

namespace {

std::unique_ptr<Platform>& installed() {
    static std::unique_ptr<Platform> instance;
    return instance;
}

template <typename T> T& require(const std::unique_ptr<T>& service, const char* name) {
    if (!service)
        qFatal("Platform: the %s service is not available on this platform", name);
    return *service;
}

} // namespace

Platform::Platform() = default;
Platform::~Platform() = default;

std::unique_ptr<GlobalMouseMonitor> Platform::createGlobalMouseMonitor() const {
    return nullptr;
}

Pasteboard& Platform::pasteboard() const { return require(m_pasteboard, "pasteboard"); }
GlobalMouseMonitor& Platform::globalMouseMonitor() const { return require(m_globalMouseMonitor, "mouse monitor"); }
KeyEventPoster& Platform::keyEventPoster() const { return require(m_keyEventPoster, "key poster"); }
Workspace& Platform::workspace() const { return require(m_workspace, "workspace"); }
AccessibilityPermission& Platform::accessibilityPermission() const {
    return require(m_accessibilityPermission, "accessibility");
}
ScreenCapture& Platform::screenCapture() const { return require(m_screenCapture, "screen capture"); }
HotKeyService& Platform::hotKeyService() const { return require(m_hotKeyService, "hot key"); }
KeyboardLayout& Platform::keyboardLayout() const { return require(m_keyboardLayout, "keyboard layout"); }
LoginItem& Platform::loginItem() const { return require(m_loginItem, "login item"); }
ActivationPolicy& Platform::activationPolicy() const { return require(m_activationPolicy, "activation policy"); }
LanguageRecognizer& Platform::languageRecognizer() const {
    return require(m_languageRecognizer, "language recognizer");
}
DeviceIdentity& Platform::deviceIdentity() const { return require(m_deviceIdentity, "device identity"); }
WindowSystem& Platform::windowSystem() const { return require(m_windowSystem, "window system"); }

Platform& platform() {
    auto& instance = installed();
    if (!instance)
        qFatal("Platform: no platform installed");
    return *instance;
}

bool hasPlatform() {
    return installed() != nullptr;
}

void installPlatform(std::unique_ptr<Platform> platform) {
    installed() = std::move(platform);
}
