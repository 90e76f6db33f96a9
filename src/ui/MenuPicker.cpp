#include "ui/MenuPicker.h"

#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr int textInset = 6;
constexpr int chevronInset = 4;
constexpr int chevronGap = 3;

// Lists drop down from the picker with a bounded number of rows. A style whose lists pop up over the
// picker instead shows every row, as tall as the screen.
class DropDownListStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* dropDownListStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new DropDownListStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

MenuPicker::MenuPicker(const QList<Row>& rows, int width, QWidget* parent)
    : QComboBox(parent)
    , m_width(width) {
    for (const Row& row : rows)
        addItem(row.first, row.second);
    setFixedSize(width, fixedHeight);
    setFocusPolicy(Qt::NoFocus);
    setStyle(dropDownListStyle());
    setMaxVisibleItems(visibleRows);
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString chosen = itemData(index).toString();
        const QString previous = m_previousValue;
        m_previousValue = chosen;
        if (chosen != previous)
            Q_EMIT valueChosen(chosen);
    });
    m_previousValue = value();
    Theme::followAppearance(this, [this] { update(); });
}

QString MenuPicker::value() const {
    return currentData().toString();
}

void MenuPicker::setValue(const QString& value) {
    const QSignalBlocker blocker(this);
    // A value no row carries selects none (-1), rather than pretending to be a row the actions do not use.
    setCurrentIndex(findData(value));
    m_previousValue = value;
}

void MenuPicker::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

void MenuPicker::showPopup() {
    // As wide as the longest row, so no language name is cut in the list.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                          2 * list->frameWidth());
    QComboBox::showPopup();
}

QSize MenuPicker::sizeHint() const {
    return {m_width, fixedHeight};
}

void MenuPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5,
                    Theme::dark() ? QColor(255, 255, 255, 26) : QColor(255, 255, 255, 230),
                    QPen(Theme::dark() ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 45), 1.0));

    const int chevronSide = Symbol::pixelSize(10);
    const QRect chevron(width() - chevronSide - chevronInset, (height() - chevronSide) / 2, chevronSide,
                        chevronSide);
    painter.drawPixmap(chevron, Symbol::pixmap(QStringLiteral("chevron.up.chevron.down"), chevron.size(),
                                               Theme::primaryText(), devicePixelRatioF()));
    const QRect area = textRect();
    bool fits = false;
    painter.setFont(fontFitting(currentText(), &fits));
    painter.setPen(isEnabled() ? Theme::primaryText() : Theme::secondaryText());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fits ? currentText()
                          : painter.fontMetrics().elidedText(currentText(), Qt::ElideRight, area.width()));
}

QRect MenuPicker::textRect() const {
    const int chevronSide = Symbol::pixelSize(10);
    return rect().adjusted(textInset, 0, -(chevronSide + chevronInset + chevronGap), 0);
}

QFont MenuPicker::fontFitting(const QString& text, bool* fits) const {
    const int room = textRect().width();
    QFont narrowed = font();
    // Letters a little closer together first, then narrower cuts of the face; the narrowest is cut short.
    for (const int stretch : {100, 100, int(QFont::SemiCondensed), int(QFont::Condensed)}) {
        narrowed.setStretch(stretch);
        if (QFontMetrics(narrowed).horizontalAdvance(text) <= room) {
            if (fits)
                *fits = true;
            return narrowed;
        }
        narrowed.setLetterSpacing(QFont::PercentageSpacing, 95);
    }
    if (fits)
        *fits = false;
    return narrowed;
}
