#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

// Process-wide bus of named notifications with dictionary payloads. Delivery is synchronous, on the
// main thread, in registration order; a post from another thread is queued to the main thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QVariantMap& userInfo)>;
    using Token = quint64;

    static NotificationCenter& shared();

    // The observer lives until it is removed by token or until `context` is destroyed. A null context
    // ties the observer to nothing; only its token removes it.
    Token addObserver(const QString& name, QObject* context, Handler handler);
    void removeObserver(Token token);
    void removeObservers(QObject* context);

    void post(const QString& name, const QVariantMap& userInfo = {});

    int observerCount(const QString& name) const;

private:
    struct Entry {
        Token token;
        QString name;
        QPointer<QObject> context;
        bool hasContext;
        Handler handler;
    };

    explicit NotificationCenter(QObject* parent = nullptr);
    void deliver(const QString& name, const QVariantMap& userInfo);
    const Entry* find(Token token) const;

    std::vector<Entry> m_entries;
    Token m_nextToken = 1;
};
