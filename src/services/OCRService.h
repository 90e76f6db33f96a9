#pragma once

#include "platform/Result.h"
#include "services/TranslationError.h"
#include "services/WebApiClient.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// Screen-text recognition: the user picks a screen region with the capture tool, the image comes back
// from the clipboard, goes to the web API as a JPEG, and the recognised text is announced as
// "OCRCompleted" {"text", "ocrID"}, or {"text": "", "error"} when the run failed ("ocrID" too once the
// image was sent). A capture the user cancels announces nothing.
class OCRService : public QObject {
    Q_OBJECT
public:
    // The recognised text (empty when nothing was recognised or the capture was cancelled), or the
    // failure message that was announced.
    using Completion = std::function<void(Result<QString, QString>)>;

    static constexpr int timeoutMs = 60000;
    // A network failure or a 5xx answer is tried once more after this pause.
    static constexpr int retryDelayMs = 1000;
    // Reading a large image back from the capture tool's clipboard server can take a moment.
    static constexpr int clipboardReadTimeoutMs = 5000;
    // Screen text stays sharp at this quality, at a fraction of the PNG's size.
    static constexpr int jpegQuality = 85;
    // Larger regions (several screens, 5K displays) are scaled down to this on their longer side.
    static constexpr int maximumImageSide = 4096;

    static OCRService& shared();

    // One whole run: capture, read back, recognise, announce. The completion runs exactly once, on
    // the main thread.
    void captureAndRecognize(Completion completion);
    // Recognises an image at hand, announces the outcome, and completes once.
    void recognizeImage(const QImage& image, Completion completion);

    // The JPEG sent for `image`: transparency on white, scaled to maximumImageSide; none for a null image.
    static std::optional<QByteArray> compressToJpeg(const QImage& image);

private:
    OCRService();

    void send(const QString& ocrId, const QString& base64Image, int attempt, Completion completion);
    void succeed(const QString& ocrId, const QString& text, const Completion& completion);
    void fail(const QString& message, const Completion& completion, const QString& ocrId = {});
};
