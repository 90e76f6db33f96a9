#include "ui/Theme.h"

#include "ui/Color.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPalette>
#include <QWidget>

Theme& Theme::shared() {
    static Theme* instance = new Theme;
    return *instance;
}

Theme::Theme()
    : QObject(qApp) {
    m_dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
    if (qApp)
        qApp->installEventFilter(this);
}

bool Theme::eventFilter(QObject* watched, QEvent* event) {
    // The application object receives these once per change; widgets get their own copies.
    if (watched == qApp && (event->type() == QEvent::ApplicationPaletteChange ||
                            event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange))
        update();
    return QObject::eventFilter(watched, event);
}

void Theme::update() {
    const bool dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
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
