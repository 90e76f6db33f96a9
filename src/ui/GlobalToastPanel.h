#pragma once

#include "ui/Theme.h"

#include <QVariantAnimation>
#include <QWidget>

// The window of a global toast: a dark rounded banner with a symbol and one line of white text, and a soft
// shadow beneath it where a compositor shows translucent windows. It never takes the focus and lets clicks
// through.
class GlobalToastPanel : public QWidget {
    Q_OBJECT
public:
    // `bannerSize`: the banner's; the window is larger by the room its shadow takes.
    GlobalToastPanel(const QString& message, const QString& icon, QSize bannerSize);

    QString message() const { return m_message; }
    QString icon() const { return m_icon; }
    // Where the banner lies in the window.
    QRect bannerRect() const { return m_banner; }

    // Fades the window in; `fadeOut` fades it out and then closes it.
    void fadeIn(int durationMs);
    void fadeOut(int durationMs);

    static QFont messageFont();
    static Theme::Shadow shadow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString m_message;
    QString m_icon;
    QRect m_banner;
    bool m_composited = true;
    QVariantAnimation m_fade;
};
