// quillora-test-clipboardowner [--text TEXT]
// Another application that owns the clipboard with text, HTML and an image (a 16 x 16 two-colour
// square) and serves it until it is killed. Prints "ready" once it owns the clipboard.
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
    parser.addHelpOption();
    parser.process(app);

    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(0, 0, 8, 8, Qt::blue);

    auto* mime = new QMimeData;
    mime->setText(parser.value(text));
    mime->setHtml(QStringLiteral("<b>") + parser.value(text) + QStringLiteral("</b>"));
    mime->setImageData(image);
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setMimeData(mime, QClipboard::Clipboard);

    if (clipboard->ownsClipboard()) {
        std::puts("ready");
    } else {
        std::puts("failed");
    }
    std::fflush(stdout);
    // Losing the clipboard to someone else is part of the test; keep serving nothing until killed.
    return app.exec();
}
