#include "ui/Theme.h"

#include "platform/DesktopColorScheme.h"
#include "ui/Color.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace {

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

Theme& Theme::shared() {
    static Theme* instance = new Theme;
    return *instance;
}

Theme::Theme()
    : QObject(qApp) {
    m_dark = isDarkPalette(QApplication::palette());
    if (!qApp)
        return;
    m_platformPalette = QApplication::palette();
    qApp->installEventFilter(this);
    followColorScheme(new DesktopColorScheme(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), this));
}

void Theme::followColorScheme(DesktopColorScheme* scheme) {
    disconnect(m_schemeConnection);
    m_scheme = scheme;
    if (scheme)
        m_schemeConnection =
            connect(scheme, &DesktopColorScheme::preferenceChanged, this, &Theme::applyColorScheme);
    applyColorScheme();
}

QPalette Theme::darkPalette() {
    QPalette palette;
    const QColor text(238, 238, 238);
    const QColor dimmed(128, 128, 128);
    palette.setColor(QPalette::Window, QColor(43, 43, 45));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(30, 30, 32));
    palette.setColor(QPalette::AlternateBase, QColor(38, 38, 40));
    palette.setColor(QPalette::ToolTipBase, QColor(43, 43, 45));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(58, 58, 60));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 90, 80));
    palette.setColor(QPalette::Light, QColor(80, 80, 82));
    palette.setColor(QPalette::Midlight, QColor(66, 66, 68));
    palette.setColor(QPalette::Mid, QColor(40, 40, 42));
    palette.setColor(QPalette::Dark, QColor(24, 24, 26));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    palette.setColor(QPalette::Highlight, QColor(10, 132, 255));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(100, 170, 255));
    palette.setColor(QPalette::LinkVisited, QColor(170, 140, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 72));
    return palette;
}

void Theme::applyColorScheme() {
    const auto preference = m_scheme ? m_scheme->preference() : DesktopColorScheme::Preference::None;
    QPalette wanted = m_platformPalette;
    if (preference == DesktopColorScheme::Preference::Dark && !isDarkPalette(m_platformPalette))
        wanted = darkPalette();
    else if (preference == DesktopColorScheme::Preference::Light && isDarkPalette(m_platformPalette))
        wanted = QApplication::style()->standardPalette();
    if (wanted == QApplication::palette())
        return;
    m_settingPalette = true;
    QApplication::setPalette(wanted);
    m_settingPalette = false;
}

bool Theme::eventFilter(QObject* watched, QEvent* event) {
    // The application object receives these once per change; widgets get their own copies.
    if (watched == qApp && (event->type() == QEvent::ApplicationPaletteChange ||
                            event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange)) {
        if (!m_settingPalette && event->type() != QEvent::ThemeChange) {
            // The platform (or a test) set a palette: it is what a stated preference is weighed against.
            m_platformPalette = QApplication::palette();
            if (m_scheme && m_scheme->preference() != DesktopColorScheme::Preference::None)
                QMetaObject::invokeMethod(this, &Theme::applyColorScheme, Qt::QueuedConnection);
        }
        update();
    }
    return QObject::eventFilter(watched, event);
}

void Theme::update() {
    const bool dark = isDarkPalette(QApplication::palette());
    if (dark == m_dark)
        return;
    m_dark = dark;
    Q_EMIT appearanceChanged();
}

QColor Theme::background() {
    return Qt::transparent;
}

QColor Theme::accent() {
    return Color::accentColor();
}

QColor Theme::buttonForeground(QColor base, bool enabled, bool pressed) {
    if (!enabled)
        base.setAlphaF(base.alphaF() * 0.35f);
    else if (pressed)
        base.setAlphaF(base.alphaF() * 0.6f);
    return base;
}

QColor Theme::primaryText() {
    return Color::labelColor();
}

QColor Theme::secondaryText() {
    return Color::secondaryLabelColor();
}

QColor Theme::border() {
    return Color::separatorColor();
}

QColor Theme::subtleFill() {
    return Color::withOpacity(Color::controlBackgroundColor(), 0.3);
}

QColor Theme::fieldFill() {
    return Color::withOpacity(Color::textBackgroundColor(), 0.7);
}

QColor Theme::cardFill() {
    return Color::withOpacity(Color::controlBackgroundColor(), 0.7);
}

Theme::Shadow Theme::smallShadow() {
    return {QColor(0, 0, 0, 26), 1, 0, 1};
}

Theme::Shadow Theme::mediumShadow() {
    return {QColor(0, 0, 0, 26), 2, 0, 2};
}

QGraphicsDropShadowEffect* Theme::applyShadow(QWidget* widget, const Shadow& shadow) {
    auto* effect = new QGraphicsDropShadowEffect(widget);
    effect->setColor(shadow.color);
    // Qt's blur radius spans the whole fade; the look's radius is a standard deviation.
    effect->setBlurRadius(shadow.radius * 3);
    effect->setOffset(shadow.x, shadow.y);
    widget->setGraphicsEffect(effect);
    return effect;
}

void Theme::followAppearance(QObject* context, const std::function<void()>& handler) {
    handler();
    QObject::connect(&shared(), &Theme::appearanceChanged, context, handler);
}
