#include "floatingbar/FloatingBarManager.h"

#include "floatingbar/FloatingBarWindowController.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "services/Language.h"

#include <QCoreApplication>

FloatingBarManager& FloatingBarManager::shared() {
    // Owned by the application, so its windows go away before it does.
    static FloatingBarManager* instance = new FloatingBarManager(QCoreApplication::instance());
    return *instance;
}

FloatingBarManager::FloatingBarManager(QObject* parent)
    : QObject(parent) {
    // Switched off, the bar's window and its click monitor go.
    NotificationCenter::shared().addObserver(Notifications::FloatingBarVisibilityChanged, this,
                                             [this](const QVariantMap& info) {
                                                 const QVariant value = info.value(NotificationKeys::value);
                                                 if (value.typeId() == QMetaType::Bool && !value.toBool())
                                                     releaseFloatingBar();
                                             });
}

FloatingBarManager::~FloatingBarManager() {
    delete m_floatingBar;
}

QString FloatingBarManager::sourceLanguageFor(const QString& detectedLanguage,
                                              const QString& targetLanguage) {
    return detectedLanguage == targetLanguage ? Language::automaticCode : detectedLanguage;
}

void FloatingBarManager::showFloatingBar(const QString& text, const QString& detectedLanguage, bool flag,
                                         const QRect& at) {
    // One bar serves every selection: making its window anew costs round trips to the display server
    // before the bar can show.
    if (m_floatingBar)
        m_floatingBar->setSelection(text, detectedLanguage, flag);
    else
        m_floatingBar = new FloatingBarWindowController(text, detectedLanguage, flag, this);
    QPointer<FloatingBarWindowController> weak(m_floatingBar);
    m_floatingBar->onTranslateClicked = [weak, detectedLanguage](const QString& selectedText,
                                                                 const QString& target) {
        if (weak)
            weak->showTranslationPopover(selectedText, sourceLanguageFor(detectedLanguage, target), target);
    };
    m_floatingBar->showWindow(at);
}

void FloatingBarManager::releaseFloatingBar() {
    if (!m_floatingBar)
        return;
    m_floatingBar->hideWindow();
    // Later: this may run inside one of the bar's own callbacks.
    m_floatingBar->deleteLater();
    m_floatingBar = nullptr;
}
