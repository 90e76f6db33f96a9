#include "menubar/translator/NotificationService.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"

void NotificationService::postTextFieldActive(bool active) const {
    NotificationCenter::shared().post(active ? Notifications::TextFieldDidBecomeActive
                                             : Notifications::TextFieldDidResignActive);
}

void NotificationService::postSwapTranslation() const {
    NotificationCenter::shared().post(Notifications::SwapTranslation,
                                      {{QStringLiteral("isManualSwap"), true}});
}
