#pragma once

#include <QProcess>
#include <QRect>
#include <QStringList>

// The quillora-test-textwindow client, running as another application. Its stdout protocol is described
// in tests/clients/textwindow/TextWindow.h.
class TextWindowProcess {
public:
    explicit TextWindowProcess(QString programPath);
    ~TextWindowProcess();

    // Starts the client with `arguments` and runs the event loop until its window is on screen.
    bool start(const QStringList& arguments = {}, int timeoutMs = 15000);
    // Runs the event loop until the client printed `line` (exactly) since `from` lines; returns its index.
    int waitForLine(const QString& line, int from = 0, int timeoutMs = 5000);
    // Lines printed so far.
    const QStringList& lines() { return readLines(); }

    qint64 processId() const { return m_process.processId(); }
    quint32 windowId() const { return m_windowId; }
    QRect lineEditGeometry() const { return m_lineEdit; }
    QRect textEditGeometry() const { return m_textEdit; }

private:
    const QStringList& readLines();

    QString m_program;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    quint32 m_windowId = 0;
    QRect m_lineEdit;
    QRect m_textEdit;
};

// Runs xdotool with `arguments` to its end; returns whether it succeeded.
bool xdotool(const QStringList& arguments);

// The settled state of the display for checks that something did not happen: a round trip on Qt's
// connection proves the server handled every request made so far (an xdotool that ended made its own
// round trip on closing, and its input went out to every client at once), so what it sent any of our
// connections is readable; the queued work then lets their readers run.
void settleDisplay();
