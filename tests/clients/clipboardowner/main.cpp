// quillora-test-clipboardowner [--text TEXT] [--rich-text] [--primary]
// Another application that owns the clipboard with text, HTML and an image (a 16 x 16 two-colour
// square) and serves it until it is killed. Prints "ready" once it owns the clipboard.
// With --rich-text it offers, instead of the image, what a word processor offers for a copied
// paragraph: RTF, a document fragment of its own, UTF-8 text under a MIME name and compound text.
// With --primary it owns the PRIMARY selection instead, as a program with a selection made in it does.
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillora-test-clipboardowner"));

    QCommandLineParser parser;
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Text on the clipboard."),
                                  QStringLiteral("text"), QStringLiteral("the user's clipboard"));
    parser.addOption(text);
    const QCommandLineOption richText(QStringLiteral("rich-text"), QStringLiteral("Offer rich text, no image."));
    parser.addOption(richText);
    const QCommandLineOption primary(QStringLiteral("primary"),
                                     QStringLiteral("Own PRIMARY, not the clipboard."));
    parser.addOption(primary);
    parser.addHelpOption();
    parser.process(app);

    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(0, 0, 8, 8, Qt::blue);

    auto* mime = new QMimeData;
    mime->setText(parser.value(text));
    mime->setHtml(QStringLiteral("<b>") + parser.value(text) + QStringLiteral("</b>"));
    if (parser.isSet(richText)) {
        const QString value = parser.value(text);
        mime->setData(QStringLiteral("text/rtf"), "{\\rtf1 " + value.toUtf8() + "}");
        mime->setData(QStringLiteral("application/x-openoffice-embed-source-xml;windows_formatname=\"Star "
                                     "Embed Source (XML)\""),
                      "PK\x03\x04" + value.toUtf8());
        mime->setData(QStringLiteral("text/plain;charset=utf-8"), value.toUtf8());
        mime->setData(QStringLiteral("COMPOUND_TEXT"), value.toLatin1());
        mime->setData(QStringLiteral("UTF-8"), value.toUtf8());
    } else {
        mime->setImageData(image);
    }
    QClipboard* clipboard = QApplication::clipboard();
    const QClipboard::Mode mode = parser.isSet(primary) ? QClipboard::Selection : QClipboard::Clipboard;
    clipboard->setMimeData(mime, mode);

    if (mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection()) {
        std::puts("ready");
    } else {
        std::puts("failed");
    }
    std::fflush(stdout);
    // Losing the clipboard to someone else is part of the test; keep serving nothing until killed.
    return app.exec();
}
