#include "services/TranslationManager.h"

#include "platform/DebugLog.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/TranslationRequest.h"

#include <QPointer>

namespace {
const QString kTag = QStringLiteral("TranslationManager");
}

TranslationManager& TranslationManager::shared() {
    static TranslationManager* instance = new TranslationManager;
    return *instance;
}

TranslationManager::TranslationManager() = default;

RequestId TranslationManager::translateText(const QString& text, const QString& from, const QString& to,
                                            TranslationService provider, const QString& triggerSource,
                                            const QString& processType, Completion completion,
                                            QObject* context) {
    const TranslationRequest request{text, from, to};
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard(context);
    auto idHolder = std::make_shared<RequestId>(0);
    auto handle = [this, idHolder, hasContext, guard,
                   completion = std::move(completion)](Result<QJsonObject, TranslationError> result) {
        disconnect(m_active.take(*idHolder));
        if (hasContext && guard.isNull())
            return;
        if (!result) {
            completion(Result<TranslationResponse, TranslationError>::failure(result.error()));
            return;
        }
        std::optional<TranslationResponse> response = TranslationResponse::fromJson(result.value());
        if (!response) {
            debugLog(kTag, QStringLiteral("❌ Çeviri yanıtı çözümlenemedi"));
            completion(
                Result<TranslationResponse, TranslationError>::failure(TranslationError::decodingError()));
            return;
        }
        completion(Result<TranslationResponse, TranslationError>::success(std::move(*response)));
    };
    // The manager, not the caller's context, owns the transfer so the outstanding set stays right; the
    // caller's context going away cancels it here.
    const RequestId id =
        WebApiClient::shared().post(QStringLiteral("/api/translate/") + rawValue(provider), request.toJson(),
                                    triggerSource, processType, timeoutMs, std::move(handle), this);
    *idHolder = id;
    m_active.insert(id, context ? connect(context, &QObject::destroyed, this, [this, id] { cancel(id); })
                                : QMetaObject::Connection());
    debugLog(kTag, QStringLiteral("🔄 Çeviri isteği: %1 → %2 (%3)").arg(from, to, rawValue(provider)));
    return id;
}

void TranslationManager::cancel(RequestId id) {
    auto it = m_active.find(id);
    if (it == m_active.end())
        return;
    disconnect(*it);
    m_active.erase(it);
    WebApiClient::shared().cancel(id);
}

void TranslationManager::startListeningForNotifications() {
    if (m_isListeningForNotifications)
        return;
    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(Notifications::TranslateSelectedText, this,
                       [this](const QVariantMap& userInfo) { handleTranslateSelectedText(userInfo); });
    center.addObserver(Notifications::TranslateWithTriggerSource, this,
                       [this](const QVariantMap& userInfo) { handleTranslateWithTriggerSource(userInfo); });
    m_isListeningForNotifications = true;
}

void TranslationManager::setSelectedTextReceiver(SelectedTextReceiver receiver) {
    m_selectedTextReceiver = std::move(receiver);
}

void TranslationManager::handleTranslateSelectedText(const QVariantMap& userInfo) {
    if (isTranslating()) {
        debugLog(kTag, QStringLiteral("⏳ Çeviri sürüyor, seçili metin yok sayıldı"));
        return;
    }
    const QVariant text = userInfo.value(NotificationKeys::text);
    const QVariant source = userInfo.value(NotificationKeys::sourceLanguage);
    const QVariant target = userInfo.value(NotificationKeys::targetLanguage);
    if (text.typeId() != QMetaType::QString || source.typeId() != QMetaType::QString ||
        target.typeId() != QMetaType::QString) {
        debugLog(kTag, QStringLiteral("⚠️ TranslateSelectedText eksik bilgiyle geldi"));
        return;
    }
    if (!m_selectedTextReceiver) {
        debugLog(kTag, QStringLiteral("⚠️ Seçili metin için alıcı yok"));
        return;
    }
    m_selectedTextReceiver(text.toString(), source.toString(), target.toString());
}

void TranslationManager::handleTranslateWithTriggerSource(const QVariantMap& userInfo) {
    const QVariant source = userInfo.value(NotificationKeys::triggerSource);
    if (source.typeId() != QMetaType::QString)
        return;
    UserDefaults::standard().set(QStringLiteral("last_trigger_source"), source.toString());
}
