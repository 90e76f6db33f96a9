#include "menubar/translator/NotificationService.h"

#include "platform/NotificationCenter.h"

void NotificationService::postTextFieldActive(bool active) const {
    NotificationCenter::shared().post(active ? QStringLiteral("TextFieldDidBecomeActive")
                                             : QStringLiteral("TextFieldDidResignActive"));
}

void NotificationService::postSwapTranslation() const {
    NotificationCenter::shared().post(QStringLiteral("SwapTranslation"),
                                      {{QStringLiteral("isManualSwap"), true}});
}
