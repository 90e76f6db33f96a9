// The floor for start-up figures: the least a Qt 6 tray program does, a QApplication and a tray icon.
// A click on the icon shows a window of text and an editor (Escape hides it), so that the memory after
// an opening is compared with a program that has drawn text too.
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class TextWindow : public QWidget {
public:
    TextWindow() {
        setWindowTitle(QStringLiteral("floor"));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("Good morning, good evening")));
        auto* editor = new QPlainTextEdit;
        editor->setPlainText(QStringLiteral("morning evening"));
        layout->addWidget(editor);
        resize(400, 300);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape)
            hide();
        else
            QWidget::keyPressEvent(event);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.drawEllipse(pixmap.rect().adjusted(3, 3, -3, -3));
    }
    QSystemTrayIcon icon{QIcon(pixmap)};
    TextWindow* window = nullptr;
    QObject::connect(&icon, &QSystemTrayIcon::activated, [&window] {
        if (!window)
            window = new TextWindow;
        window->show();
        window->activateWindow();
    });
    icon.show();
    const int result = app.exec();
    delete window;
    return result;
}
