#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>
#include <functional>

// A full-width borderless row of a symbol and a text that highlights itself while the pointer is over
// it: the symbol turns from the secondary to the primary colour and a faint rounded fill fades in.
class HoverButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool hovering READ isHovering NOTIFY hoveringChanged)
public:
    HoverButton(const QString& label, const QString& icon, std::function<void()> action,
                QWidget* parent = nullptr);

    QString label() const { return text(); }
    QString icon() const { return m_icon; }
    bool isHovering() const { return m_hovering; }
    // 0 without hover, 1 with full hover; animates between them.
    qreal hoverProgress() const { return m_progress; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int verticalPadding = 12;
    static constexpr int horizontalPadding = 4;
    static constexpr int spacing = 8;
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal iconPointSize = 12;
    static constexpr int animationMs = 150;

Q_SIGNALS:
    void hoveringChanged(bool hovering);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);

    QString m_icon;
    bool m_hovering = false;
    qreal m_progress = 0;
    QVariantAnimation m_animation;
};
