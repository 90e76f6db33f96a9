#include "TextWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QString describeGeometry(const char* name, const QWidget* widget) {
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    return QStringLiteral("geometry %1 %2 %3 %4 %5")
        .arg(QLatin1String(name))
        .arg(topLeft.x())
        .arg(topLeft.y())
        .arg(widget->width())
        .arg(widget->height());
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

} // namespace

TextWindow::TextWindow(const QString& text, bool setsPrimarySelection)
    : m_lineEdit(new QLineEdit(text, this))
    , m_textEdit(new QPlainTextEdit(text, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lineEdit);
    layout->addWidget(m_textEdit);
    resize(480, 240);
    m_lineEdit->setFocus();

    if (!setsPrimarySelection) {
        // The text widgets offer every mouse selection as PRIMARY; giving it up at once leaves PRIMARY
        // without an owner, like an application that never sets it.
        QClipboard* clipboard = QApplication::clipboard();
        connect(clipboard, &QClipboard::selectionChanged, this, [clipboard] {
            if (clipboard->ownsSelection())
                clipboard->clear(QClipboard::Selection);
        });
    }
    qApp->installEventFilter(this);
}

bool TextWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        // The same press travels through several objects; report it at the widget that has the focus.
        if (watched != QApplication::focusWidget())
            break;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString sequence =
            isModifierKey(key->key())
                ? QKeySequence(key->key()).toString(QKeySequence::PortableText)
                : QKeySequence(key->keyCombination()).toString(QKeySequence::PortableText);
        QString line = QStringLiteral("key ") + sequence;
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            line += u' ' + key->text();
        say(line);
        break;
    }
    case QEvent::MouseButtonPress:
        if (watched->isWidgetType()) {
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            say(QStringLiteral("press %1 %2").arg(global.x()).arg(global.y()));
        }
        [[fallthrough]];
    case QEvent::MouseButtonRelease:
        // No middle-click paste: Qt 6.4's text edit can crash pasting a PRIMARY whose owner is gone, and
        // the tests that press the middle button only check that nobody hears of it.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
            return true;
        break;
    case QEvent::Expose:
        if (watched == windowHandle() && windowHandle()->isExposed())
            announce();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TextWindow::announce() {
    if (m_announced)
        return;
    m_announced = true;
    say(describeGeometry("lineedit", m_lineEdit));
    say(describeGeometry("textedit", m_textEdit));
    say(QStringLiteral("ready %1").arg(winId()));
}
