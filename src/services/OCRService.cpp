#include "services/OCRService.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"

#include <QBuffer>
#include <QImageWriter>
#include <QJsonValue>
#include <QPainter>
#include <QUuid>

namespace {

const QString kTag = QStringLiteral("OCRService");
const QString kPath = QStringLiteral("/api/ocr/base64");

const QString kCaptureFailed = QStringLiteral("Ekran görüntüsü alınamadı");
const QString kNoImage = QStringLiteral("Panoda görüntü bulunamadı");
const QString kCompressionFailed = QStringLiteral("Görüntü sıkıştırılamadı");
const QString kRecognitionFailed = QStringLiteral("Metin tanıma hatası: ");

bool worthRetrying(const TranslationError& error) {
    return error.isNetworkError() || error.isServerFailure();
}

} // namespace

OCRService& OCRService::shared() {
    static OCRService* instance = new OCRService;
    return *instance;
}

OCRService::OCRService() = default;

std::optional<QByteArray> OCRService::compressToJpeg(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QImage source = image;
        source.setDevicePixelRatio(1.0);
        QPainter painter(&flat);
        painter.drawImage(0, 0, source);
    }
    if (flat.width() > maximumImageSide || flat.height() > maximumImageSide)
        flat = flat.scaled(maximumImageSide, maximumImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(flat) || jpeg.isEmpty())
        return std::nullopt;
    return jpeg;
}

void OCRService::captureAndRecognize(Completion completion) {
    debugLog(kTag, QStringLiteral("📸 Ekran yakalama başlıyor"));
    platform().screenCapture().captureInteractiveRegionToClipboard([this, completion](
                                                                       ScreenCapture::CaptureOutcome outcome) {
        if (outcome == ScreenCapture::CaptureOutcome::Cancelled) {
            // The user changed their mind: nothing to announce, so no banner and no popover.
            debugLog(kTag, QStringLiteral("↩️ Ekran yakalama iptal edildi"));
            completion(Result<QString, QString>::success(QString()));
            return;
        }
        if (outcome != ScreenCapture::CaptureOutcome::Captured) {
            fail(kCaptureFailed, completion);
            return;
        }
        platform().pasteboard().readImage(
            [this, completion](std::optional<QImage> image) {
                if (!image || image->isNull()) {
                    fail(kNoImage, completion);
                    return;
                }
                recognizeImage(*image, completion);
            },
            clipboardReadTimeoutMs);
    });
}

void OCRService::recognizeImage(const QImage& image, Completion completion) {
    const std::optional<QByteArray> jpeg = compressToJpeg(image);
    if (!jpeg) {
        MainQueue::async([this, completion] { fail(kCompressionFailed, completion); }, this);
        return;
    }
    const QString ocrId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    debugLog(kTag, QStringLiteral("📤 %1x%2 görüntü gönderiliyor (%3 bayt JPEG)")
                       .arg(image.width())
                       .arg(image.height())
                       .arg(jpeg->size()));
    send(ocrId, QString::fromLatin1(jpeg->toBase64()), 0, std::move(completion));
}

void OCRService::send(const QString& ocrId, const QString& base64Image, int attempt, Completion completion) {
    WebApiClient::shared().post(
        kPath, QJsonObject{{QStringLiteral("image"), base64Image}}, QStringLiteral("ocr"), std::nullopt,
        timeoutMs,
        [this, ocrId, base64Image, attempt, completion](Result<QJsonObject, TranslationError> result) {
            if (!result) {
                const TranslationError& error = result.error();
                if (attempt == 0 && worthRetrying(error)) {
                    debugLog(kTag, QStringLiteral("🔁 Yeniden deneniyor: ") + error.localizedDescription());
                    MainQueue::asyncAfter(
                        retryDelayMs,
                        [this, ocrId, base64Image, completion] { send(ocrId, base64Image, 1, completion); },
                        this);
                    return;
                }
                fail(kRecognitionFailed + error.localizedDescription(), completion, ocrId);
                return;
            }
            const QJsonValue text = result.value().value(QStringLiteral("text"));
            if (!text.isString()) {
                fail(kRecognitionFailed + TranslationError::decodingError().localizedDescription(),
                     completion, ocrId);
                return;
            }
            succeed(ocrId, text.toString(), completion);
        },
        this);
}

void OCRService::succeed(const QString& ocrId, const QString& text, const Completion& completion) {
    debugLog(kTag, QStringLiteral("✅ %1 karakter tanındı").arg(text.size()));
    NotificationCenter::shared().post(Notifications::OCRCompleted,
                                      {{NotificationKeys::text, text}, {QStringLiteral("ocrID"), ocrId}});
    completion(Result<QString, QString>::success(text));
}

void OCRService::fail(const QString& message, const Completion& completion, const QString& ocrId) {
    debugLog(kTag, QStringLiteral("❌ ") + message);
    QVariantMap payload{{NotificationKeys::text, QString()}, {NotificationKeys::error, message}};
    // A run that got as far as the web API keeps its id; a capture that failed never had one.
    if (!ocrId.isEmpty())
        payload.insert(QStringLiteral("ocrID"), ocrId);
    NotificationCenter::shared().post(Notifications::OCRCompleted, payload);
    completion(Result<QString, QString>::failure(message));
}
