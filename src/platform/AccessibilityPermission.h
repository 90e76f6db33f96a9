#pragma once

#include <QObject>

class QWidget;

// Whether this process may read other applications' selections and post key events.
class AccessibilityPermission : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isProcessTrusted() const = 0;
    // Asks the user to grant the permission (explains what is missing here), over window `over` when
    // given: what it shows goes with that window.
    virtual void requestTrust(QWidget* over) = 0;
};
