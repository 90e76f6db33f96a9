#pragma once

#include <QWidget>
#include <functional>

class FilledButton;
class PermissionCard;
class QLabel;
class QVariantAnimation;

// The content of the onboarding window (650 x 650): a short animated introduction, one card for each
// permission the selection road needs (screen capture, then accessibility), and a start button enabled
// only while both are granted. The start button records completion and posts "OnboardingCompleted";
// the application delegate closes the window.
//
// X11 has nothing to grant: a card's allow button asks the platform to explain what is missing. The
// permissions are read again whenever the window becomes active (after that explanation, say), not
// polled.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingView(QWidget* parent = nullptr);
    ~OnboardingView() override;

    // Runs 0.5 s after the start button's notification (the tray's welcome).
    std::function<void()> onWelcome;

    // Re-reads both permissions into the cards and the stored "has…Permission" settings.
    void checkPermissions();
    void requestAccessibilityPermission();
    void requestScreenCapturePermission();
    // The start button's action.
    void completeOnboarding();

    bool hasAccessibilityPermission() const { return m_hasAccessibilityPermission; }
    bool hasScreenCapturePermission() const { return m_hasScreenCapturePermission; }
    bool isCompleting() const { return m_isCompleting; }

    PermissionCard* screenCaptureCard() const { return m_screenCard; }
    PermissionCard* accessibilityCard() const { return m_accessibilityCard; }
    FilledButton* startButton() const { return m_startButton; }

    // Shows the end state of the introduction at once (screenshots, tests).
    void finishIntroAnimation();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Reveal;
    class IconLayer;

    void startIntroAnimation();
    void updatePermissionViews();
    Reveal* addReveal(QWidget* content, int offset);

    bool m_hasAccessibilityPermission = false;
    bool m_hasScreenCapturePermission = false;
    bool m_isCompleting = false;
    bool m_introStarted = false;

    QWidget* m_column = nullptr;
    Reveal* m_content = nullptr;
    Reveal* m_title = nullptr;
    Reveal* m_subtitle = nullptr;
    Reveal* m_card1 = nullptr;
    Reveal* m_card2 = nullptr;
    Reveal* m_start = nullptr;
    IconLayer* m_icon = nullptr;
    PermissionCard* m_screenCard = nullptr;
    PermissionCard* m_accessibilityCard = nullptr;
    FilledButton* m_startButton = nullptr;
    QWidget* m_watchedWindow = nullptr;
};
