#pragma once

#include "app/AboutPanel.h"

#include <QObject>
#include <QPointer>

class AppDelegate;

// The application: the program's entry (main() only calls run()), the delegate that runs the start-up
// sequence, the about panel, and the onboarding state as last stored.
class QuilloraApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isOnboardingCompleted READ isOnboardingCompleted NOTIFY isOnboardingCompletedChanged)
public:
    // The whole program: checks the display, keeps one instance per user (a second launch hands a reopen
    // to the first and returns 0), installs the X11 platform and runs the event loop.
    static int run(int argc, char** argv);

    // The running application; null outside run().
    static QuilloraApp* current();

    explicit QuilloraApp(QObject* parent = nullptr);
    ~QuilloraApp() override;

    AppDelegate& appDelegate() { return *m_appDelegate; }

    bool isOnboardingCompleted() const { return m_isOnboardingCompleted; }
    // Re-reads "hasCompletedOnboarding" (the stored flag, not a notification's payload).
    void refreshOnboardingState();

    // "About Quillora": shows the about panel (one at a time). The tray menu offers it while the activation
    // policy is regular, through QuilloraApp::current().
    void showAboutPanel();
    AboutPanel* aboutPanel() const { return m_aboutPanel; }

    // Closes every shown regular window of ours whose title is empty; runs whenever the window list
    // changes.
    void closeUntitledWindows();

Q_SIGNALS:
    void isOnboardingCompletedChanged(bool completed);
    // A regular window of ours came on screen or left it.
    void windowListChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppDelegate* m_appDelegate;
    bool m_isOnboardingCompleted = false;
    QPointer<AboutPanel> m_aboutPanel;
    bool m_closeQueued = false;
};
