#pragma once

#include <QDeadlineTimer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

// One running application per user. The first process holds a lock file and listens on a Unix-domain
// socket, both in a directory only this user can enter: the runtime directory (XDG_RUNTIME_DIR), or when
// that is unset or not private, <temporary directory>/quillora-<uid>. A later launch finds the lock taken,
// sends a reopen request over the socket and exits. A lock or socket left by a crashed process is taken
// over. Plain sockets rather than Qt's local sockets: those would bring the network library into start-up.
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // `runtimeDirectory` empty: XDG_RUNTIME_DIR.
    explicit SingleInstanceGuard(QString runtimeDirectory = {}, QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // True when this process is now the running instance (and listens for reopen requests). False when
    // another instance holds the lock, or when there is no private directory (directory() is empty).
    bool claim();
    // Where lock and socket live; empty when neither place is a directory of this user's alone, and
    // errorString() says why.
    QString directory() const { return m_directory; }
    QString errorString() const { return m_error; }
    // Asks the running instance to reopen; true once it acknowledged. Waits up to `timeoutMs` in all:
    // the running instance may still be starting. Meant for a launch that is about to exit: it blocks.
    bool sendReopenRequest(int timeoutMs = 5000);

    QString socketPath() const;
    QString lockPath() const;
    // Whether claim() got the socket listening.
    bool isListening() const { return m_listener >= 0; }

Q_SIGNALS:
    void reopenRequested();

private:
    struct Connection {
        int descriptor = -1;
        QSocketNotifier* notifier = nullptr;
        QByteArray received;
        QDeadlineTimer deadline;
    };

    bool listen();
    void acceptConnections();
    void readFrom(int descriptor);
    void closeConnection(int descriptor);
    void dropSilentConnections();
    void armSilenceTimer();

    QString m_directory;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier* m_listenerNotifier = nullptr;
    // Accepting again after the process ran out of descriptors, later each time it fails anew.
    QTimer* m_acceptRetry = nullptr;
    int m_acceptRetryMs = 0;
    // Fires at the earliest deadline of the held connections.
    QTimer* m_silenceTimer = nullptr;
    std::vector<Connection> m_connections;
};
