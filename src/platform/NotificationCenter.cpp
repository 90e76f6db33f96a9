#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

NotificationCenter::NotificationCenter(QObject* parent) : QObject(parent) {}

NotificationCenter& NotificationCenter::shared() {
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        if (auto* app = QCoreApplication::instance())
            c->moveToThread(app->thread());
        return c;
    }();
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, QObject* context, Handler handler) {
    Q_ASSERT(QThread::currentThread() == thread());
    const Token token = m_nextToken++;
    m_entries.push_back(Entry{token, name, context, context != nullptr, std::move(handler)});
    if (context) {
        // One connection per observer keeps removal simple; the entry is also skipped at delivery if the
        // context is already gone, so a half-destroyed object is never called.
        connect(context, &QObject::destroyed, this, [this, token] { removeObserver(token); });
    }
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::erase_if(m_entries, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::removeObservers(QObject* context) {
    if (!context)
        return;
    std::erase_if(m_entries, [context](const Entry& e) { return e.hasContext && e.context == context; });
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, name, userInfo] { deliver(name, userInfo); }, Qt::QueuedConnection);
        return;
    }
    deliver(name, userInfo);
}

int NotificationCenter::observerCount(const QString& name) const {
    return int(std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.name == name; }));
}

const NotificationCenter::Entry* NotificationCenter::find(Token token) const {
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [token](const Entry& e) { return e.token == token; });
    return it == m_entries.end() ? nullptr : &*it;
}

void NotificationCenter::deliver(const QString& name, const QVariantMap& userInfo) {
    // Handlers may add or remove observers while we deliver: walk a snapshot of tokens and re-check each.
    std::vector<Token> tokens;
    for (const Entry& e : m_entries) {
        if (e.name == name)
            tokens.push_back(e.token);
    }
    for (Token token : tokens) {
        const Entry* entry = find(token);
        if (!entry || (entry->hasContext && entry->context.isNull()))
            continue;
        Handler handler = entry->handler; // the entry may be erased by the handler itself
        handler(userInfo);
    }
}
