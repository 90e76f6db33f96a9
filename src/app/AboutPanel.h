#pragma once

#include <QDialog>

// The about panel: the application icon, its name, getAppVersion() and the credits text.
class AboutPanel : public QDialog {
    Q_OBJECT
public:
    static const QString credits;

    explicit AboutPanel(QWidget* parent = nullptr);
};
