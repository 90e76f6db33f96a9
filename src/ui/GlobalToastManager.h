#pragma once

#include "platform/MainQueue.h"
#include "ui/GlobalToastPanel.h"

#include <QObject>
#include <QPointer>
#include <QString>

// Short notices that float above every application, centred on the primary screen, independent of the
// popover. At most one is on screen: a new toast replaces the current one at once.
class GlobalToastManager : public QObject {
    Q_OBJECT
public:
    static constexpr int panelHeight = 50;
    static constexpr int minimumWidth = 300;
    static constexpr int maximumWidth = 500;
    static constexpr int fadeMs = 200;

    static GlobalToastManager& shared();

    // Callable from any thread; the toast shows on a later turn of the main loop. A duration of zero or
    // less is chosen from the message length (see durationFor).
    void show(const QString& message, const QString& icon, double durationSeconds = 0);

    // 2 s under 50 characters, 3 s under 100, else 4 s; a positive duration is kept.
    static double durationFor(const QString& message, double durationSeconds);
    // Text width plus the icon and the paddings, between 300 and 500.
    static int panelWidthFor(const QString& message);

    // The panel on screen (tests).
    GlobalToastPanel* panel() const { return m_panel; }

private:
    GlobalToastManager();
    void presentToast(const QString& message, const QString& icon, double durationSeconds);
    void fadeOut();

    QPointer<GlobalToastPanel> m_panel;
    MainQueueTimer m_hideTimer;
};
