#include "services/OCRManagerService.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "services/OCRService.h"

void OCRManagerService::performOCR(Completion completion) const {
    NotificationCenter::shared().post(Notifications::ClosePopover);
    OCRService* service = &OCRService::shared();
    MainQueue::asyncAfter(
        captureDelayMs,
        [service, completion = std::move(completion)] {
            service->captureAndRecognize([completion](Result<QString, QString> result) {
                if (!result || result.value().isEmpty()) {
                    completion(std::nullopt);
                    return;
                }
                platform().pasteboard().setString(result.value());
                completion(result.value());
            });
        },
        service);
}
