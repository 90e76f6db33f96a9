// OCR with the fake platform's screen capture and clipboard, against the local web API stand-in (and a
// scripted server where the request body itself is checked).
#include "services/OCRService.h"

#include "DevApiTest.h"
#include "FakePlatform.h"
#include "ScriptedHttpServer.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/OCRManagerService.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QPainter>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kRecognised = QStringLiteral("Recognised text from the Quillora dev API");

QImage sampleRegion(QSize size = QSize(320, 120)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(10, 10, size.width() / 2, size.height() / 2, Qt::black);
    return image;
}

class OCRServiceTest : public DevApiTest {
protected:

    void SetUp() override {
        DevApiTest::SetUp();
        m_observer = std::make_unique<QObject>();
        for (const QString& name : {Notifications::OCRCompleted, Notifications::ClosePopover}) {
            NotificationCenter::shared().addObserver(
                name, m_observer.get(), [this, name](const QVariantMap& info) {
                    m_events.append(name);
                    if (name == Notifications::OCRCompleted)
                        m_completed.append(info);
                    else
                        m_capturesAtClose = fakePlatform().fakeScreenCapture().captureCount;
                });
        }
    }

    void TearDown() override { m_observer.reset(); }

    // Runs performOCR and waits for its completion; counts the calls.
    std::optional<QString> performOCR() {
        m_calls = 0;
        std::optional<QString> text;
        OCRManagerService().performOCR([&](std::optional<QString> result) {
            ++m_calls;
            text = result;
        });
        EXPECT_TRUE(waitUntil([&] { return m_calls > 0; }, 15000));
        runQueuedWork(); // a second call would show up here
        EXPECT_EQ(m_calls, 1);
        return text;
    }

    std::unique_ptr<QObject> m_observer;
    QStringList m_events;
    QList<QVariantMap> m_completed;
    int m_capturesAtClose = -1;
    int m_calls = 0;
};


TEST_F(OCRServiceTest, ClosesThePopoverWaitsThenRecognisesAndCopiesTheText) {
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();
    QElapsedTimer clock;
    clock.start();
    bool called = false;
    OCRManagerService().performOCR([&](std::optional<QString>) { called = true; });
    EXPECT_EQ(m_events, QStringList{Notifications::ClosePopover});
    EXPECT_EQ(m_capturesAtClose, 0);
    // The popover gets time to go: not at once, and not before the delay (checked below).
    EXPECT_EQ(fakePlatform().fakeScreenCapture().captureCount, 0);
    ASSERT_TRUE(waitUntil([&] { return fakePlatform().fakeScreenCapture().captureCount == 1; }));
    // A coarse timer may fire 5 % early.
    EXPECT_GE(clock.elapsed(), OCRManagerService::captureDelayMs * 95 / 100);
    ASSERT_TRUE(waitUntil([&] { return called; }, 10000));

    ASSERT_EQ(m_completed.size(), 1);
    const QVariantMap payload = m_completed.first();
    EXPECT_EQ(payload.value("text").toString(), kRecognised);
    EXPECT_FALSE(payload.contains("error"));
    EXPECT_FALSE(QUuid::fromString(payload.value("ocrID").toString()).isNull());
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), kRecognised);

    const QJsonObject request = s_api->lastRequest();
    EXPECT_EQ(request.value("path").toString(), QStringLiteral("/api/ocr/base64"));
    EXPECT_TRUE(request.value("signatureValid").toBool());
    EXPECT_EQ(request.value("body").toObject().value("trigger_source").toString(), QStringLiteral("ocr"));
    EXPECT_FALSE(request.value("body").toObject().contains("process_type"));
}

TEST_F(OCRServiceTest, CompletionGetsTheTextExactlyOnceAndEachRunHasItsOwnId) {
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();
    EXPECT_EQ(performOCR(), kRecognised);
    EXPECT_EQ(performOCR(), kRecognised);
    ASSERT_EQ(m_completed.size(), 2);
    EXPECT_NE(m_completed[0].value("ocrID"), m_completed[1].value("ocrID"));
}

TEST_F(OCRServiceTest, SendsTheRegionAsABase64JpegWithoutProcessType) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), server.baseUrl());
    server.response = ScriptedHttpServer::answer(200, "OK", R"({"text":"merhaba dünya"})");
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion(QSize(321, 123));

    EXPECT_EQ(performOCR(), QStringLiteral("merhaba dünya"));
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), QStringLiteral("merhaba dünya"));

    const QByteArray raw = server.lastRequest;
    const QJsonObject body = QJsonDocument::fromJson(raw.mid(raw.indexOf("\r\n\r\n") + 4)).object();
    for (const char* key : {"image", "device_id", "timestamp", "signature", "trigger_source", "app_version"})
        EXPECT_TRUE(body.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(body.contains("process_type"));
    const auto jpeg = QByteArray::fromBase64Encoding(body.value("image").toString().toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(jpeg.decoded.startsWith("\xFF\xD8\xFF"));
    const QImage sent = QImage::fromData(jpeg.decoded, "JPEG");
    EXPECT_EQ(sent.size(), QSize(321, 123));
    // The dark block is still dark and the white background white after compression.
    EXPECT_LT(qGray(sent.pixel(20, 20)), 40);
    EXPECT_GT(qGray(sent.pixel(300, 110)), 215);
}

TEST_F(OCRServiceTest, RetriesOnceAfterAServerOrNetworkFailure) {
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();

    ASSERT_TRUE(s_api->failNext(QStringLiteral("500")));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(performOCR(), kRecognised);
    EXPECT_GE(clock.elapsed(), (OCRManagerService::captureDelayMs + OCRService::retryDelayMs) * 95 / 100);
    EXPECT_EQ(s_api->requestLog().size(), 2);
    ASSERT_EQ(m_completed.size(), 1); // the failed first try is not announced
    EXPECT_EQ(m_completed.first().value("text").toString(), kRecognised);

    // A connection closed without an answer (Qt sends once more by itself, hence two).
    s_api->clearRequestLog();
    m_completed.clear();
    ASSERT_TRUE(s_api->failNext(QStringLiteral("close"), 2));
    EXPECT_EQ(performOCR(), kRecognised);
    EXPECT_EQ(s_api->requestLog().size(), 3);
    EXPECT_EQ(m_completed.size(), 1);
}

TEST_F(OCRServiceTest, FailuresAreAnnouncedWithAnErrorAndNoTextReachesTheClipboard) {
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();
    fakePlatform().fakePasteboard().setExternalString(QStringLiteral("the user's own text"));
    const int writesBefore = fakePlatform().fakePasteboard().writeCount();

    // Failing twice in a row gives up after the one retry.
    ASSERT_TRUE(s_api->failNext(QStringLiteral("500"), 2));
    EXPECT_EQ(performOCR(), std::nullopt);
    EXPECT_EQ(s_api->requestLog().size(), 2);

    // Answers that are not worth a second try fail at once.
    s_api->clearRequestLog();
    ASSERT_TRUE(s_api->failNext(QStringLiteral("missing-field")));
    EXPECT_EQ(performOCR(), std::nullopt);
    EXPECT_EQ(s_api->requestLog().size(), 1);

    ASSERT_EQ(m_completed.size(), 2);
    EXPECT_EQ(m_completed[0].value("error").toString(),
              QStringLiteral("Metin tanıma hatası: Server error: Simulated server failure"));
    EXPECT_EQ(m_completed[1].value("error").toString(),
              QStringLiteral("Metin tanıma hatası: Error processing server response."));
    for (const QVariantMap& payload : m_completed) {
        EXPECT_EQ(payload.value("text"), QVariant(QString()));
        // The outcome of a recognition request carries its run's id, failed or not.
        EXPECT_FALSE(QUuid::fromString(payload.value("ocrID").toString()).isNull());
    }
    EXPECT_NE(m_completed[0].value("ocrID"), m_completed[1].value("ocrID"));
    EXPECT_EQ(fakePlatform().fakePasteboard().writeCount(), writesBefore);
}

TEST_F(OCRServiceTest, CancelledCaptureStaysSilentAndAFailedOneIsAnnounced) {
    fakePlatform().fakePasteboard().setExternalString(QStringLiteral("keep"));

    // Escape: no notification means no banner, no toast and no popover.
    fakePlatform().fakeScreenCapture().nextCapture.reset();
    EXPECT_EQ(performOCR(), std::nullopt);
    EXPECT_TRUE(m_completed.isEmpty());

    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();
    fakePlatform().fakeScreenCapture().captureFails = true;
    EXPECT_EQ(performOCR(), std::nullopt);
    ASSERT_EQ(m_completed.size(), 1);
    EXPECT_EQ(m_completed.first().value("error").toString(), QStringLiteral("Ekran görüntüsü alınamadı"));
    EXPECT_FALSE(m_completed.first().contains("ocrID")); // nothing was sent, so no run to name

    EXPECT_TRUE(s_api->requestLog().isEmpty());
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), QStringLiteral("keep"));
}

TEST_F(OCRServiceTest, CaptureWithoutAnImageOnTheClipboardFails) {
    // The tool reported success but the clipboard holds no readable image.
    fakePlatform().fakeScreenCapture().nextCapture = QImage();
    EXPECT_EQ(performOCR(), std::nullopt);
    EXPECT_TRUE(s_api->requestLog().isEmpty());
    ASSERT_EQ(m_completed.size(), 1);
    EXPECT_EQ(m_completed.first().value("error").toString(), QStringLiteral("Panoda görüntü bulunamadı"));
}

TEST_F(OCRServiceTest, NothingRecognisedGivesNoTextButNoErrorEither) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), server.baseUrl());
    server.response = ScriptedHttpServer::answer(200, "OK", R"({"text":""})");
    fakePlatform().fakeScreenCapture().nextCapture = sampleRegion();
    const int writesBefore = fakePlatform().fakePasteboard().writeCount();

    EXPECT_EQ(performOCR(), std::nullopt);
    ASSERT_EQ(m_completed.size(), 1);
    EXPECT_EQ(m_completed.first().value("text"), QVariant(QString()));
    EXPECT_FALSE(m_completed.first().contains("error"));
    EXPECT_FALSE(m_completed.first().value("ocrID").toString().isEmpty());
    // The capture's image stays; nothing of ours was written.
    EXPECT_EQ(fakePlatform().fakePasteboard().writeCount(), writesBefore);
}

TEST(OCRCompression, FlattensTransparencyAndBoundsTheSize) {
    QImage transparent(40, 30, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    const std::optional<QByteArray> small = OCRService::compressToJpeg(transparent);
    ASSERT_TRUE(small);
    const QImage flattened = QImage::fromData(*small, "JPEG");
    EXPECT_EQ(flattened.size(), QSize(40, 30));
    EXPECT_GT(qGray(flattened.pixel(20, 15)), 245); // white, not black

    const std::optional<QByteArray> big = OCRService::compressToJpeg(sampleRegion(QSize(6000, 1500)));
    ASSERT_TRUE(big);
    EXPECT_EQ(QImage::fromData(*big, "JPEG").size(), QSize(4096, 1024));

    EXPECT_FALSE(OCRService::compressToJpeg(QImage()));
}

} // namespace
