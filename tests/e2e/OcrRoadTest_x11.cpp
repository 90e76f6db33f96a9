// The OCR road on the real binary: the translator's OCR button, a region dragged over another client's
// text with the capture tool, and the dev API's recognised text in the input with its translation.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/TextInputView.h"

#include <QAbstractButton>
#include <gtest/gtest.h>

namespace {

const QString kRecognised = QStringLiteral("Recognised text from the Quillora dev API");

QByteArray pictureOf(quint32 window) {
    const QImage image = AppUnderTest::windowImage(window);
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

} // namespace

using OcrRoad = AppRoad;

TEST_F(OcrRoad, TheOcrButtonRecognisesADraggedRegionAndTranslatesIt) {
    m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));

    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("Known words to recognise")}));

    // A second launch opens the popover of the running one, ready for the user's click once it has the
    // keyboard.
    ASSERT_EQ(m_app.launchAgain(), 0);
    const std::optional<quint32> popoverId = m_app.waitForWindow(AppUnderTest::translatorWindow);
    ASSERT_TRUE(popoverId);
    std::optional<QRect> popover = AppUnderTest::windowGeometry(*popoverId);
    ASSERT_TRUE(popover);
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popoverId));

    // Where the OCR button sits in the translator, laid out here exactly as in the app.
    MenuBarView layout;
    layout.setAttribute(Qt::WA_DontShowOnScreen);
    layout.show();
    layout.adjustSize();
    QCoreApplication::processEvents();
    QAbstractButton* ocr = layout.textInput()->ocrButton();
    const QPoint inView = ocr->mapTo(&layout, ocr->rect().center());
    // The popover hangs below the tray at the top: its arrow, if any, is above the translator.
    const int contentTop = popover->height() - layout.height();
    ASSERT_GE(contentTop, 0);
    ASSERT_TRUE(Desktop::clickAt(popover->topLeft() + QPoint(inView.x(), contentTop + inView.y())));

    // The popover gets out of the way, then the capture overlay takes the screen; it takes a drag once it
    // shows the screen.
    std::optional<quint32> overlay;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QList<quint32> found = Desktop::windowsNamed(QStringLiteral("^Quillora screen capture$"));
            overlay = found.isEmpty() ? std::nullopt : std::optional<quint32>(found.first());
            return overlay.has_value();
        },
        20000));
    ASSERT_TRUE(Desktop::waitUntilSettled([&] { return pictureOf(*overlay); }));
    const QRect text = client.lineEditGeometry().adjusted(-12, -12, 12, 12);
    ASSERT_TRUE(Desktop::xdotool(Desktop::moveTo(text.topLeft()) +
                                 QStringList{QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(Desktop::xdotool(Desktop::moveTo(text.center())));
    ASSERT_TRUE(Desktop::xdotool(Desktop::moveTo(text.bottomRight()) +
                                 QStringList{QStringLiteral("mouseup"), QStringLiteral("1")}));

    // The recognised text goes to the web API's translation and onto the clipboard.
    ASSERT_TRUE(waitUntil([&] { return !requestsTo(QStringLiteral("/api/translate/")).isEmpty(); }, 20000));
    EXPECT_EQ(requestsTo(QStringLiteral("/api/ocr/base64")).size(), 1);
    const QJsonObject translation = requestsTo(QStringLiteral("/api/translate/")).first();
    EXPECT_EQ(translation.value(QStringLiteral("status")).toInt(), 200);
    EXPECT_EQ(translation.value(QStringLiteral("body")).toObject().value(QStringLiteral("text")).toString(),
              kRecognised);
    const auto clipboardText = [] { return QString::fromUtf8(Desktop::selection(QStringLiteral("clipboard"))); };
    EXPECT_TRUE(waitUntil([&] { return clipboardText() == kRecognised; }, 20000)) << clipboardText().toStdString();

    // The popover comes back with the text in the input and its translation below: select the output as
    // a user would and read PRIMARY. Nothing above the output changes height with a translation on screen.
    const std::optional<quint32> back = m_app.waitForWindow(AppUnderTest::translatorWindow);
    ASSERT_TRUE(back);
    popover = AppUnderTest::windowGeometry(*back);
    ASSERT_TRUE(popover);
    const QPoint output = layout.outputView()->mapTo(&layout, QPoint(40, 30));
    QString selected;
    EXPECT_TRUE(Desktop::selectLineUntil({popover->topLeft() + QPoint(output.x(), contentTop + output.y())},
                                         QStringLiteral("[tr] ") + kRecognised, &selected))
        << "selected: " << selected.toStdString();
    // Translated once: the translation on screen came after any second request would have gone.
    EXPECT_EQ(requestsTo(QStringLiteral("/api/translate/")).size(), 1);
    EXPECT_EQ(m_app.stop(), 0);
}
