#pragma once

#include "menubar/translator/ActionBarButton.h"

#include <QVariantAnimation>

// The action bar's rewrite button: "Rewrite" with a wand, or "Rewriting..." inside a turning rainbow
// ring while a rewrite runs (disabled then). The ring's animation runs only while rewriting and shown.
class RewriteButton : public ActionBarButton {
    Q_OBJECT
public:
    static constexpr int turnMs = 2000;
    static constexpr qreal ringWidth = 2;

    explicit RewriteButton(QWidget* parent = nullptr);

    bool isRewriting() const { return m_rewriting; }
    void setRewriting(bool rewriting);
    // Start angle of the ring's gradient, in degrees.
    qreal rainbowRotation() const { return m_rotation; }
    bool isRingTurning() const { return m_ring.state() == QAbstractAnimation::Running; }

protected:
    void paintOutline(QPainter& painter, const QRectF& box) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateRing();

    bool m_rewriting = false;
    qreal m_rotation = 0;
    QVariantAnimation m_ring;
};
