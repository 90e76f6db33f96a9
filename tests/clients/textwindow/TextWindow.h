#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

// A window with a one-line and a multi-line text field holding the same text. It reports on stdout, one
// line each, what a test needs to drive it and to see what reached it:
//   geometry lineedit|textedit <x> <y> <width> <height>   (global device-independent pixels, before "ready")
//   ready <window id>                                      (once the window is on screen)
//   key <sequence>[ <text>]                                (every key press, e.g. "key Ctrl+C", "key A a")
//   press <x> <y>                                          (every mouse press, global position)
class TextWindow : public QWidget {
    Q_OBJECT
public:
    TextWindow(const QString& text, bool setsPrimarySelection);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void announce();

    QLineEdit* m_lineEdit;
    QPlainTextEdit* m_textEdit;
    bool m_announced = false;
};
