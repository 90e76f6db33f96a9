#include "platform/x11/X11Platform.h"

#include "platform/AudioModule.h"
#include "platform/AudioPlayer.h"
#include "platform/LanguageModule.h"
#include "platform/x11/AtspiAccessibilityBus.h"
#include "platform/x11/LinuxDeviceIdentity.h"
#include "platform/x11/X11AccessibilityPermission.h"
#include "platform/x11/X11ActivationPolicy.h"
#include "platform/x11/X11GlobalMouseMonitor.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11KeyboardLayout.h"
#include "platform/x11/X11LoginItem.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11ScreenCapture.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/x11/X11Workspace.h"

X11Platform::X11Platform() {
    m_pasteboard = std::make_unique<X11Pasteboard>();
    m_globalMouseMonitor = std::make_unique<X11GlobalMouseMonitor>();
    m_keyEventPoster = std::make_unique<X11KeyEventPoster>();
    m_workspace = std::make_unique<X11Workspace>();
    m_accessibilityPermission = std::make_unique<X11AccessibilityPermission>();
    m_languageRecognizer = std::make_unique<LanguageRecognizerOnDemand>();
    m_deviceIdentity = std::make_unique<LinuxDeviceIdentity>();
    m_accessibilityBus = std::make_unique<AtspiAccessibilityBus>();
    m_screenCapture = std::make_unique<X11ScreenCapture>();
    m_loginItem = std::make_unique<X11LoginItem>();
    m_activationPolicy = std::make_unique<X11ActivationPolicy>();
    m_windowSystem = std::make_unique<X11WindowSystem>();
    auto layout = std::make_unique<X11KeyboardLayout>();
    m_hotKeyService = std::make_unique<X11HotKeyService>(*layout);
    m_keyboardLayout = std::move(layout);
}

X11Platform::~X11Platform() {
    // The grabs are released through the layout's connection: the hot keys go first.
    m_hotKeyService.reset();
}

std::unique_ptr<AudioPlayer> X11Platform::createAudioPlayer() const {
    return AudioModule::createPlayer();
}

std::unique_ptr<GlobalMouseMonitor> X11Platform::createGlobalMouseMonitor() const {
    return std::make_unique<X11GlobalMouseMonitor>();
}
