#pragma once

#include <QString>
#include <QtGlobal>

// How the clipboard fallback treats one application.
struct SelectionAppRule {
    // The keys that copy the selection in this application.
    int copyKey = Qt::Key_C;
    Qt::KeyboardModifiers copyModifiers = Qt::ControlModifier;
    // False where a synthetic copy would do harm (an interrupt, a prefix key, copied files).
    bool allowsClipboardFallback = true;
};

// The per-application exceptions to the usual Ctrl+C, looked up by bundle identifier (desktop-entry id
// or lower-cased window class), case-insensitively.
class SelectionAppRules {
public:
    static SelectionAppRule ruleFor(const QString& bundleIdentifier);
};
