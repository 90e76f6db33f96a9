#include "menubar/OCRManager.h"

#include "menubar/MenuBarManager.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "ui/GlobalToastManager.h"

namespace {

const QString kTag = QStringLiteral("OCRManager");

void showAlert(const QString& message, const QString& type) {
    NotificationCenter::shared().post(Notifications::ShowInlineAlert,
                                      {{NotificationKeys::message, message}, {NotificationKeys::type, type}});
}

} // namespace

OCRManager& OCRManager::shared() {
    static OCRManager* instance = new OCRManager(MenuBarManager::shared());
    return *instance;
}

OCRManager::OCRManager(MenuBarManager& menuBar, QObject* parent)
    : QObject(parent)
    , m_menuBar(&menuBar) {
    NotificationCenter::shared().addObserver(
        Notifications::OCRCompleted, this,
        [this](const QVariantMap& userInfo) { handleOCRCompleted(userInfo); });
}

QString OCRManager::noTextMessage() {
    return tr("No text was found in the selected area.");
}

QString OCRManager::failureMessage(const QString& error) {
    return error.isEmpty() ? tr("Text recognition failed.") : error;
}

void OCRManager::handleOCRCompleted(const QVariantMap& userInfo) {
    const QVariant error = userInfo.value(NotificationKeys::error);
    if (error.typeId() == QMetaType::QString) {
        debugLog(kTag, QStringLiteral("❌ OCR hatası: ") + error.toString());
        showAlert(failureMessage(error.toString()), QStringLiteral("error"));
        MainQueue::async([this] { showMenuBarPopover(); }, this);
        return;
    }
    const QVariant text = userInfo.value(NotificationKeys::text);
    if (text.typeId() != QMetaType::QString || text.toString().isEmpty()) {
        debugLog(kTag, QStringLiteral("⚠️ Metin bulunamadı"));
        showAlert(noTextMessage(), QStringLiteral("warning"));
        MainQueue::async([this] { showMenuBarPopover(); }, this);
        return;
    }
    const QString recognised = text.toString();
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.clearContents();
    pasteboard.setString(recognised);
    GlobalToastManager::shared().show(tr("Copied to clipboard"), QStringLiteral("checkmark.circle.fill"), 0);
    NotificationCenter::shared().post(Notifications::SetTranslationInput,
                                      {{NotificationKeys::text, recognised}});
    MainQueue::asyncAfter(
        popoverDelayMs, [this] { showMenuBarPopover(); }, this);
}

void OCRManager::showMenuBarPopover() {
    if (m_menuBar && !m_menuBar->isPopoverShown())
        m_menuBar->showPopover();
}
