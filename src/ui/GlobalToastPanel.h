#pragma once

#include <QVariantAnimation>
#include <QWidget>

// The window of a global toast: a dark rounded banner with a symbol and one line of white text. It never
// takes the focus and lets clicks through.
class GlobalToastPanel : public QWidget {
    Q_OBJECT
public:
    GlobalToastPanel(const QString& message, const QString& icon, QSize size);

    QString message() const { return m_message; }
    QString icon() const { return m_icon; }

    // Fades the window in; `fadeOut` fades it out and then closes it.
    void fadeIn(int durationMs);
    void fadeOut(int durationMs);

    static QFont messageFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString m_message;
    QString m_icon;
    bool m_composited = true;
    QVariantAnimation m_fade;
};
