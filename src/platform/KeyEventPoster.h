#pragma once

#include <QObject>
#include <QtGlobal>

// Synthetic key presses sent to whichever window has the keyboard focus.
class KeyEventPoster : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Presses and releases `qtKey` with `modifiers` held. Modifiers the user still holds (say, of a hot
    // key) are released first so they do not change the combination. Returns false when it cannot post.
    virtual bool postKey(int qtKey, Qt::KeyboardModifiers modifiers) = 0;

    // The platform's copy and paste keys (Ctrl+C and Ctrl+V here).
    bool postCopy() { return postKey(Qt::Key_C, Qt::ControlModifier); }
    bool postPaste() { return postKey(Qt::Key_V, Qt::ControlModifier); }
};
