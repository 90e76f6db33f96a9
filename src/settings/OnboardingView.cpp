#include "settings/OnboardingView.h"

#include "platform/AccessibilityPermission.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/UserDefaults.h"
#include "selection/AccessibilityService.h"
#include "settings/FilledButton.h"
#include "settings/PermissionCard.h"
#include "ui/Color.h"
#include "ui/ImageAsset.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPauseAnimation>
#include <QSequentialAnimationGroup>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr int kWelcomeDelayMs = 500;

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

// A row that fades and slides in: its one child is drawn `offset` below its place, at `opacity`.
class OnboardingView::Reveal : public QWidget {
public:
    Reveal(QWidget* content, int hiddenOffset, QWidget* parent)
        : QWidget(parent)
        , m_content(content)
        , m_offset(hiddenOffset)
        , m_effect(new QGraphicsOpacityEffect(this)) {
        content->setParent(this);
        m_effect->setOpacity(0);
        setGraphicsEffect(m_effect);
        setSizePolicy(content->sizePolicy());
    }

    QSize sizeHint() const override { return m_content->sizeHint(); }
    QSize minimumSizeHint() const override { return m_content->minimumSizeHint(); }
    bool hasHeightForWidth() const override { return m_content->hasHeightForWidth(); }
    int heightForWidth(int width) const override { return m_content->heightForWidth(width); }

    void setOpacity(qreal opacity) {
        m_effect->setOpacity(opacity);
        // Fully shown, the row needs no offscreen rendering.
        m_effect->setEnabled(opacity < 1.0);
    }
    void setOffset(qreal offset) {
        m_offset = offset;
        place();
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }

private:
    void place() { m_content->setGeometry(0, qRound(m_offset), width(), height()); }

    QWidget* m_content;
    qreal m_offset;
    QGraphicsOpacityEffect* m_effect;
};

// The application icon above the column: it fades in large, then shrinks and moves up.
class OnboardingView::IconLayer : public QWidget {
public:
    explicit IconLayer(QWidget* parent)
        : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    qreal scale = 5.0;
    qreal opacity = 0.0;
    qreal offset = 150;

protected:
    void paintEvent(QPaintEvent*) override {
        if (opacity <= 0)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(opacity);
        const qreal side = 80 * scale;
        const QRectF frame((width() - side) / 2, offset, side, side);
        QPainterPath clip;
        clip.addRoundedRect(frame, 16 * scale, 16 * scale);
        painter.setClipPath(clip);
        const QPixmap icon = ImageAsset::pixmap(QStringLiteral("AppIcon"), QSize(qCeil(side), qCeil(side)),
                                                devicePixelRatioF());
        painter.drawPixmap(frame, icon, QRectF(QPointF(0, 0), QSizeF(icon.size())));
    }
};

OnboardingView::OnboardingView(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(650, 650);

    m_column = new QWidget;
    auto* column = new QVBoxLayout(m_column);
    column->setContentsMargins(50, 0, 50, 0);
    column->setSpacing(10);
    column->addSpacing(100);

    auto* title = new QLabel(QStringLiteral("Welcome to Quillora!"));
    QFont titleFont = title->font();
    titleFont.setPixelSize(26);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto* subtitleBox = new QWidget;
    auto* subtitleLayout = new QVBoxLayout(subtitleBox);
    subtitleLayout->setContentsMargins(60, 0, 60, 0);
    auto* subtitle =
        new QLabel(QStringLiteral("Let's set up the necessary permissions for the best experience"));
    QFont subtitleFont = subtitle->font();
    subtitleFont.setPixelSize(15);
    subtitle->setFont(subtitleFont);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setWordWrap(true);
    subtitleLayout->addWidget(subtitle);
    Theme::followAppearance(this, [this, title, subtitle] {
        setTextColor(title, Color::labelColor());
        setTextColor(subtitle, Color::secondaryLabelColor());
        update();
    });

    m_screenCard = new PermissionCard(
        QStringLiteral("Permission for OCR"),
        QStringLiteral(
            "To translate text from images or non-selectable content, Quillora needs screen recording "
            "permission."),
        QStringLiteral("ScreenCapturePermissionImage"), QStringLiteral("Screen Recording enabled"),
        [this] { requestScreenCapturePermission(); });
    m_accessibilityCard = new PermissionCard(
        QStringLiteral("Permission for Floating Bar"),
        QStringLiteral("Quillora needs accessibility permissions to detect and translate selected text in "
                       "real-time across your apps."),
        QStringLiteral("FloatingBar"), QStringLiteral("Accessibility Access enabled"),
        [this] { requestAccessibilityPermission(); });

    auto* startBox = new QWidget;
    auto* startLayout = new QVBoxLayout(startBox);
    startLayout->setContentsMargins(30, 0, 30, 25);
    m_startButton = new FilledButton(
        QStringLiteral("Start Using Quillora"), QStringLiteral("checkmark.circle.fill"),
        QMargins(12, 12, 12, 12), [this](const FilledButton&) {
            if (m_hasAccessibilityPermission && m_hasScreenCapturePermission)
                return FilledButton::Colors{Color::accentColor(), Qt::white};
            if (Theme::dark())
                return FilledButton::Colors{Color(QStringLiteral("2A2E3A")), Color(QStringLiteral("6D7588"))};
            return FilledButton::Colors{QColor(235, 235, 235), QColor(190, 190, 190)};
        });
    QFont bold = m_startButton->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    m_startButton->setFont(bold);
    m_startButton->setStretches(true);
    connect(m_startButton, &QAbstractButton::clicked, this, &OnboardingView::completeOnboarding);
    startLayout->addWidget(m_startButton);

    m_title = addReveal(title, 0);
    m_subtitle = addReveal(subtitleBox, 0);
    m_card1 = addReveal(m_screenCard, 20);
    m_card2 = addReveal(m_accessibilityCard, 20);
    m_start = addReveal(startBox, 20);
    column->addWidget(m_title);
    column->addWidget(m_subtitle);
    column->addWidget(m_card1);
    column->addWidget(m_card2);
    column->addStretch(1);
    column->addSpacing(0);
    column->addWidget(m_start);

    m_content = new Reveal(m_column, 30, this);
    m_icon = new IconLayer(this);
    m_icon->raise();
    updatePermissionViews();
}

OnboardingView::~OnboardingView() = default;

OnboardingView::Reveal* OnboardingView::addReveal(QWidget* content, int offset) {
    return new Reveal(content, offset, m_column);
}

void OnboardingView::resizeEvent(QResizeEvent*) {
    m_content->setGeometry(rect());
    m_icon->setGeometry(rect());
}

void OnboardingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    if (Theme::dark()) {
        gradient.setColorAt(0, Color(QStringLiteral("1A2030")));
        gradient.setColorAt(1, Color(QStringLiteral("242836")));
    } else {
        gradient.setColorAt(0, Color(QStringLiteral("D9EDFF")));
        gradient.setColorAt(1, Qt::white);
    }
    painter.fillRect(rect(), gradient);
}

void OnboardingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (window() != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
    checkPermissions();
    if (!m_introStarted) {
        m_introStarted = true;
        startIntroAnimation();
    }
}

bool OnboardingView::eventFilter(QObject* watched, QEvent* event) {
    // Back from the explanation of a missing permission (or from elsewhere): read them again.
    if (watched == m_watchedWindow && event->type() == QEvent::WindowActivate)
        checkPermissions();
    return QWidget::eventFilter(watched, event);
}

void OnboardingView::checkPermissions() {
    AccessibilityService::shared();
    m_hasAccessibilityPermission = platform().accessibilityPermission().isProcessTrusted();
    UserDefaults::standard().set(QStringLiteral("hasAccessibilityPermission"), m_hasAccessibilityPermission);
    m_hasScreenCapturePermission = platform().screenCapture().preflightPermission();
    UserDefaults::standard().set(QStringLiteral("hasScreenCapturePermission"), m_hasScreenCapturePermission);
    updatePermissionViews();
}

void OnboardingView::updatePermissionViews() {
    m_screenCard->setGranted(m_hasScreenCapturePermission);
    m_accessibilityCard->setGranted(m_hasAccessibilityPermission);
    m_startButton->setEnabled(m_hasAccessibilityPermission && m_hasScreenCapturePermission &&
                              !m_isCompleting);
    m_startButton->update();
}

void OnboardingView::requestAccessibilityPermission() {
    // No synthetic copy key: it only served to list the app in a privacy list, which X11 lacks, and it
    // would overwrite the clipboard of whatever window has the focus.
    platform().accessibilityPermission().requestTrust(window());
}

void OnboardingView::requestScreenCapturePermission() {
    if (platform().screenCapture().preflightPermission()) {
        m_hasScreenCapturePermission = true;
        UserDefaults::standard().set(QStringLiteral("hasScreenCapturePermission"), true);
        checkPermissions();
        return;
    }
    platform().screenCapture().requestPermission(window());
}

void OnboardingView::completeOnboarding() {
    if (m_isCompleting)
        return;
    m_isCompleting = true;
    updatePermissionViews();
    AccessibilityService::shared();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(QStringLiteral("hasCompletedOnboarding"), true);
    defaults.set(QStringLiteral("hasAccessibilityPermission"), true);
    defaults.set(QStringLiteral("hasScreenCapturePermission"), true);
    // The welcome outlives this view: the delegate closes the window while the notification is delivered.
    MainQueue::asyncAfter(kWelcomeDelayMs, [welcome = onWelcome] {
        if (welcome)
            welcome();
    });
    NotificationCenter::shared().post(Notifications::OnboardingCompleted,
                                      {{NotificationKeys::hasCompletedOnboarding, true},
                                       {NotificationKeys::hasAccessibilityPermission, true},
                                       {NotificationKeys::hasScreenCapturePermission, true}});
}

void OnboardingView::startIntroAnimation() {
    auto* intro = new QParallelAnimationGroup(this);
    auto step = [this, intro](int atMs, int durationMs, QEasingCurve::Type easing,
                              std::function<void(qreal)> apply) {
        auto* sequence = new QSequentialAnimationGroup(intro);
        sequence->addPause(atMs);
        auto* animation = new QVariantAnimation(sequence);
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        animation->setDuration(durationMs);
        animation->setEasingCurve(easing);
        connect(animation, &QVariantAnimation::valueChanged, this,
                [apply = std::move(apply)](const QVariant& value) { apply(value.toReal()); });
        sequence->addAnimation(animation);
    };
    auto reveal = [](Reveal* row, int offset) {
        return [row, offset](qreal t) {
            row->setOpacity(t);
            row->setOffset(offset * (1 - t));
        };
    };
    // Times from the first appearance: each step's own start plus the delay of its row's animation.
    step(100, 600, QEasingCurve::InCubic, [this](qreal t) {
        m_icon->opacity = t;
        m_icon->update();
    });
    step(1300 + 800, 500, QEasingCurve::InCubic, reveal(m_content, 30));
    step(1300, 800, QEasingCurve::InOutCubic, [this](qreal t) {
        m_icon->scale = 5.0 + (1.0 - 5.0) * t;
        m_icon->offset = 150 + (20 - 150) * t;
        m_icon->update();
    });
    step(1500 + 1000, 500, QEasingCurve::InCubic, reveal(m_title, 0));
    step(1500 + 1000, 500, QEasingCurve::InCubic, reveal(m_subtitle, 0));
    step(1600 + 1000, 600, QEasingCurve::OutCubic, reveal(m_card1, 20));
    step(1700 + 1100, 600, QEasingCurve::OutCubic, reveal(m_card2, 20));
    step(1800 + 1400, 600, QEasingCurve::OutCubic, reveal(m_start, 20));
    intro->start(QAbstractAnimation::DeleteWhenStopped);
}

void OnboardingView::finishIntroAnimation() {
    if (!m_introStarted) {
        m_introStarted = true;
        startIntroAnimation();
    }
    for (auto* group : findChildren<QParallelAnimationGroup*>(QString(), Qt::FindDirectChildrenOnly))
        group->setCurrentTime(group->totalDuration());
}
