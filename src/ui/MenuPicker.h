#pragma once

#include <QComboBox>
#include <QList>
#include <QPair>

// A menu-style picker: a small bordered button with the chosen row's text and a double chevron that
// opens the list of rows: at most `visibleRows` rows high (the rest scrolls) and wide enough for the
// longest row. A text too long for the button is drawn a little narrower before it is cut short.
// `valueChosen` is sent only when the user picks a different value; setting the value from code sends
// nothing.
class MenuPicker : public QComboBox {
    Q_OBJECT
public:
    using Row = QPair<QString, QString>; // shown text, value

    explicit MenuPicker(const QList<Row>& rows, int width, QWidget* parent = nullptr);

    QString value() const;
    // A value none of the rows carries selects no row; choosing any row then sends `valueChosen`.
    void setValue(const QString& value);

    void showPopup() override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int fixedHeight = 22;
    static constexpr int visibleRows = 12;

    // Where the chosen row's text goes, and the font that fits `text` into it (narrowed where the normal
    // one does not; `fits` tells whether even the narrowest does).
    QRect textRect() const;
    QFont fontFitting(const QString& text, bool* fits = nullptr) const;

Q_SIGNALS:
    void valueChosen(const QString& value);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A wheel turned over the closed picker scrolls whatever is beneath instead of changing the value
    // (and starting a request); the open list scrolls on its own.
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_width;
    QString m_previousValue;
};
