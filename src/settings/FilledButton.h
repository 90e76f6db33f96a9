#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMargins>
#include <QString>
#include <functional>

// A flat button drawn as a filled rounded rectangle with an optional leading symbol and its text. Its
// colours are asked for at paint time, so they follow the enabled state and the appearance.
class FilledButton : public QAbstractButton {
    Q_OBJECT
public:
    struct Colors {
        QColor background;
        QColor foreground;
    };
    using ColorProvider = std::function<Colors(const FilledButton&)>;

    FilledButton(const QString& text, QString symbol, QMargins padding, ColorProvider colors,
                 QWidget* parent = nullptr);

    // Whether the label stretches over the whole width (the label is centred either way).
    void setStretches(bool stretches);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_symbol;
    QMargins m_padding;
    ColorProvider m_colors;
};
