// quillora-test-textwindow [--text TEXT] [--title TITLE] [--no-primary]
#include "TextWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillora-test-textwindow"));
    QApplication::setDesktopFileName(QStringLiteral("quillora-test-textwindow"));

    QCommandLineParser parser;
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Text of both fields."),
                                  QStringLiteral("text"), QStringLiteral("hello world"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."),
                                   QStringLiteral("title"), QStringLiteral("Quillora test window"));
    const QCommandLineOption noPrimary(QStringLiteral("no-primary"),
                                       QStringLiteral("Do not offer selections as PRIMARY."));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("The one-line field is a password field."));
    parser.addOptions({text, title, noPrimary, password});
    parser.addHelpOption();
    parser.process(app);

    TextWindow window(parser.value(text), !parser.isSet(noPrimary));
    window.setWindowTitle(parser.value(title));
    if (parser.isSet(password))
        window.findChild<QLineEdit*>()->setEchoMode(QLineEdit::Password);
    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
