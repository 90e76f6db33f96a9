// The OCR road on the real binary: the translator's OCR button, a region dragged over another client's
// text with the capture tool, and the dev API's recognised text in the input with its translation.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/TextInputView.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QJsonObject>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

const QString kRecognised = QStringLiteral("Recognised text from the Quillora dev API");

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

QStringList moveTo(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

std::optional<quint32> popoverWindow(const AppUnderTest& app) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && frame->width() == MenuBarView::viewWidth)
            return id;
    }
    return std::nullopt;
}

std::optional<QRect> popoverFrame(const AppUnderTest& app) {
    const std::optional<quint32> window = popoverWindow(app);
    return window ? AppUnderTest::windowGeometry(*window) : std::nullopt;
}

QString clipboardText() {
    return QString::fromUtf8(
        runTool(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")})
            .value_or(QByteArray()));
}

QList<QJsonObject> requestsTo(const DevApiServer& api, const QString& prefix) {
    QList<QJsonObject> found;
    for (const QJsonObject& entry : api.requestLog()) {
        if (entry.value(QStringLiteral("path")).toString().startsWith(prefix))
            found.append(entry);
    }
    return found;
}

} // namespace

TEST(OcrRoad, TheOcrButtonRecognisesADraggedRegionAndTranslatesIt) {
    xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    ASSERT_TRUE(app.start(&api, 30000, AppUnderTest::fullSetupLine));
    auto failure = qScopeGuard([&] {
        if (::testing::Test::HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("ocr-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(app.log()));
        }
    });

    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("Known words to recognise")}));

    // A second launch opens the popover of the running one.
    ASSERT_EQ(app.launchAgain(), 0);
    std::optional<QRect> popover;
    ASSERT_TRUE(waitUntil([&] { return (popover = popoverFrame(app)).has_value(); }, 20000));
    // Ready for the user's click once it has the keyboard.
    const std::optional<quint32> popoverId = popoverWindow(app);
    ASSERT_TRUE(popoverId);
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popoverId));

    // Where the OCR button sits in the translator, laid out here exactly as in the app.
    MenuBarView layout;
    layout.setAttribute(Qt::WA_DontShowOnScreen);
    layout.show();
    layout.adjustSize();
    spinFor(100);
    QAbstractButton* ocr = layout.textInput()->ocrButton();
    const QPoint inView = ocr->mapTo(&layout, ocr->rect().center());
    // The popover hangs below the tray at the top: its arrow, if any, is above the translator.
    const int contentTop = popover->height() - layout.height();
    ASSERT_GE(contentTop, 0);
    ASSERT_TRUE(xdo(moveTo(popover->topLeft() + QPoint(inView.x(), contentTop + inView.y())) +
                    QStringList{QStringLiteral("click"), QStringLiteral("1")}));

    // The popover gets out of the way, then the capture overlay takes the screen.
    ASSERT_TRUE(waitUntil(
        [] {
            return xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QStringLiteral("Quillora screen capture")});
        },
        20000));
    spinFor(400);
    const QRect text = client.lineEditGeometry().adjusted(-12, -12, 12, 12);
    ASSERT_TRUE(xdo(moveTo(text.topLeft()) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(xdo(moveTo(text.center())));
    ASSERT_TRUE(
        xdo(moveTo(text.bottomRight()) + QStringList{QStringLiteral("mouseup"), QStringLiteral("1")}));

    // The recognised text goes to the web API's translation, once, and onto the clipboard.
    ASSERT_TRUE(
        waitUntil([&] { return !requestsTo(api, QStringLiteral("/api/translate/")).isEmpty(); }, 20000));
    EXPECT_EQ(requestsTo(api, QStringLiteral("/api/ocr/base64")).size(), 1);
    const QJsonObject translation = requestsTo(api, QStringLiteral("/api/translate/")).first();
    EXPECT_EQ(translation.value(QStringLiteral("status")).toInt(), 200);
    EXPECT_EQ(translation.value(QStringLiteral("body")).toObject().value(QStringLiteral("text")).toString(),
              kRecognised);
    EXPECT_TRUE(waitUntil([&] { return clipboardText() == kRecognised; }, 20000))
        << clipboardText().toStdString();

    // The popover comes back with the text in the input and its translation below: select the output as
    // a user would and read PRIMARY.
    ASSERT_TRUE(waitUntil([&] { return (popover = popoverFrame(app)).has_value(); }, 20000));
    spinFor(800);
    EXPECT_EQ(requestsTo(api, QStringLiteral("/api/translate/")).size(), 1);
    // Nothing above the output changes height with a translation on screen.
    const QPoint output = layout.outputView()->mapTo(&layout, QPoint(40, 30));
    QString selected;
    const QString expected = QStringLiteral("[tr] ") + kRecognised;
    EXPECT_TRUE(waitUntil(
        [&] {
            xdo(moveTo(popover->topLeft() + QPoint(output.x(), contentTop + output.y())) +
                QStringList{QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"),
                            QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
            selected = QString::fromUtf8(runTool(QStringLiteral("xclip"),
                                                 {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                  QStringLiteral("primary")})
                                             .value_or(QByteArray()))
                           .trimmed();
            return selected == expected;
        },
        20000))
        << "selected: " << selected.toStdString();
    EXPECT_EQ(app.stop(), 0);
}
