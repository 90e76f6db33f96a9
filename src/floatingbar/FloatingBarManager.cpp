#include "floatingbar/FloatingBarManager.h"

#include "floatingbar/FloatingBarWindowController.h"
#include "services/Language.h"

#include <QCoreApplication>

FloatingBarManager& FloatingBarManager::shared() {
    // Owned by the application, so its windows go away before it does.
    static FloatingBarManager* instance = new FloatingBarManager(QCoreApplication::instance());
    return *instance;
}

FloatingBarManager::FloatingBarManager(QObject* parent)
    : QObject(parent) {}

FloatingBarManager::~FloatingBarManager() {
    delete m_floatingBar;
}

QString FloatingBarManager::sourceLanguageFor(const QString& detectedLanguage,
                                              const QString& targetLanguage) {
    return detectedLanguage == targetLanguage ? Language::automaticCode : detectedLanguage;
}

void FloatingBarManager::showFloatingBar(const QString& text, const QString& detectedLanguage, bool flag,
                                         const QRect& at) {
    if (m_floatingBar) {
        m_floatingBar->hideWindow();
        // Later: this may run inside one of the old bar's own callbacks.
        m_floatingBar->deleteLater();
    }
    auto* controller = new FloatingBarWindowController(text, detectedLanguage, flag, this);
    QPointer<FloatingBarWindowController> weak(controller);
    controller->onTranslateClicked = [weak, detectedLanguage](const QString& selectedText,
                                                              const QString& target) {
        if (weak)
            weak->showTranslationPopover(selectedText, sourceLanguageFor(detectedLanguage, target), target);
    };
    controller->showWindow(at);
    m_floatingBar = controller;
}
