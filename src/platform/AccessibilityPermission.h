#pragma once

#include <QObject>

// Whether this process may read other applications' selections and post key events.
class AccessibilityPermission : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isProcessTrusted() const = 0;
    // Asks the user to grant the permission (opens the help page here).
    virtual void requestTrust() = 0;
};
