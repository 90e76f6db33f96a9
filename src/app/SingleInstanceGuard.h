#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// One running application per user. The first process holds a lock file and listens on a local socket,
// both in the user's runtime directory (XDG_RUNTIME_DIR); a later launch finds the lock taken, sends a
// reopen request over the socket and exits. A lock or socket left by a crashed process is taken over.
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // `directory` empty: the user's runtime directory.
    explicit SingleInstanceGuard(QString directory = {}, QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // True when this process is now the running instance (and listens for reopen requests).
    bool claim();
    // Asks the running instance to reopen; true once it acknowledged. Waits up to `timeoutMs` in all:
    // the running instance may still be starting. Meant for a launch that is about to exit.
    bool sendReopenRequest(int timeoutMs = 5000);

    QString socketPath() const;
    QString lockPath() const;

Q_SIGNALS:
    void reopenRequested();

private:
    void acceptConnections();

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};
