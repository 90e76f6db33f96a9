#pragma once

#include <QObject>

// Start at login.
class LoginItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isEnabled() const = 0;
    // Returns false when the change could not be made.
    virtual bool setEnabled(bool enabled) = 0;
};
