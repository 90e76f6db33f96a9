#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <sys/types.h>

class QSocketNotifier;

// Hands an image to a detached clipboard server (this program started again in its server role) and
// reports once that server owns the clipboard. The server outlives this process: on X11 the owner of a
// selection must stay alive to answer paste requests, and the capture tool's caller expects the image
// to stay on the clipboard after the tool has exited.
class ClipboardHandOff : public QObject {
    Q_OBJECT
public:
    explicit ClipboardHandOff(QObject* parent = nullptr);
    ~ClipboardHandOff() override;

    void start(const QByteArray& png);

Q_SIGNALS:
    // True once the server owns the clipboard; false when it could not be started or gave up.
    void finished(bool owned);

private:
    void writeSome();
    void readAnswer();
    void fail();
    void done(bool owned);
    void closeImagePipe();
    void closeAnswerPipe();

    QByteArray m_png;
    qsizetype m_written = 0;
    int m_imageFd = -1;
    int m_answerFd = -1;
    pid_t m_server = -1;
    QSocketNotifier* m_writeNotifier = nullptr;
    QSocketNotifier* m_readNotifier = nullptr;
    QTimer m_deadline;
    bool m_finished = false;
};
