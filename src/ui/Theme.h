#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QPointer>

class DesktopColorScheme;
class QGraphicsDropShadowEffect;
class QWidget;

// The look constants every window shares. Colours are resolved for the current appearance each time
// they are read, so a widget that repaints after `appearanceChanged` follows a switch between dark
// and light at once. The desktop's own light or dark preference, where it states one, picks the
// application palette; otherwise the platform's palette stands.
class Theme : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool dark READ isDark NOTIFY appearanceChanged)
public:
    struct Shadow {
        QColor color;
        qreal radius;
        qreal x;
        qreal y;
    };

    static Theme& shared();

    // Dark when the application palette's window colour is dark.
    bool isDark() const { return m_dark; }
    static bool dark() { return shared().isDark(); }

    static QColor background();
    static QColor accent();
    static QColor primaryText();
    // A button's foreground dimmed for its disabled and pressed states.
    static QColor buttonForeground(QColor base, bool enabled, bool pressed);
    static QColor secondaryText();
    static QColor border();
    static QColor subtleFill();
    static QColor fieldFill();
    static QColor cardFill();

    static constexpr qreal cornerRadius = 12;
    static constexpr int buttonHeight = 36;
    static constexpr int fieldHeight = 36;
    static constexpr int spacing = 12;
    static constexpr int padding = 16;
    static constexpr int smallPadding = 8;
    static constexpr qreal borderWidth = 0.5;

    static Shadow smallShadow();
    static Shadow mediumShadow();

    // Gives `widget` a drop shadow painted outside its bounds; returns the effect (owned by the widget).
    static QGraphicsDropShadowEffect* applyShadow(QWidget* widget, const Shadow& shadow);

    // Calls `handler` now and after every appearance switch, for as long as `context` lives.
    static void followAppearance(QObject* context, const std::function<void()>& handler);

    // Follows `scheme` (owned by the caller) instead of the session bus's portal.
    void followColorScheme(DesktopColorScheme* scheme);
    static QPalette darkPalette();

Q_SIGNALS:
    void appearanceChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Theme();
    void update();
    void applyColorScheme();

    bool m_dark = false;
    QPointer<DesktopColorScheme> m_scheme;
    QMetaObject::Connection m_schemeConnection;
    // The palette the platform gave, which a stated preference may replace.
    QPalette m_platformPalette;
    bool m_settingPalette = false;
};
