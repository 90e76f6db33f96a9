#pragma once

#include <QObject>

// Whether the application shows up as a regular application (taskbar entry) or only in the tray.
class ActivationPolicy : public QObject {
    Q_OBJECT
public:
    enum class Policy { Regular, Accessory };
    using QObject::QObject;

    virtual Policy policy() const = 0;
    virtual void setPolicy(Policy policy) = 0;
    virtual void activateIgnoringOtherApps() = 0;

Q_SIGNALS:
    void policyChanged(ActivationPolicy::Policy policy);
};
