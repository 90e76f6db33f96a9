#include "menubar/translator/RewriteOptionsView.h"

#include "menubar/translator/RowDivider.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr qreal menuRadius = 8;
constexpr int symbolFrame = 24;
constexpr int rowSpacing = 8;

// A full-width row of a symbol and a title; the whole row is the hit area.
class StyleRowButton : public QAbstractButton {
public:
    StyleRowButton(const QString& symbol, const QString& title)
        : m_symbol(symbol) {
        setText(title);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(systemFont(13, QFont::Medium));
        return {12 + symbolFrame + rowSpacing + metrics.horizontalAdvance(text()) + 12,
                8 + std::max(symbolFrame, metrics.height()) + 8};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor color = Theme::buttonForeground(Theme::primaryText(), isEnabled(), isDown());
        const QRect frame(12, (height() - symbolFrame) / 2, symbolFrame, symbolFrame);
        const int side = Symbol::pixelSize(13);
        const QRect symbol(frame.center().x() - side / 2 + 1, frame.center().y() - side / 2 + 1, side, side);
        painter.drawPixmap(symbol, Symbol::pixmap(m_symbol, symbol.size(), color, devicePixelRatioF()));
        painter.setFont(systemFont(13, QFont::Medium));
        painter.setPen(color);
        painter.drawText(rect().adjusted(frame.right() + 1 + rowSpacing, 0, -12, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    QString m_symbol;
};

} // namespace

const QList<RewriteOptionsView::Row>& RewriteOptionsView::rows() {
    static const QList<Row> all = {
        {RewriteStyle::Regenerate, QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("Rephrase")},
        {RewriteStyle::Friendly, QStringLiteral("face.smiling"), QStringLiteral("Friendly")},
        {RewriteStyle::Professional, QStringLiteral("briefcase"), QStringLiteral("Professional")},
        {RewriteStyle::Concise, QStringLiteral("arrow.down.and.line.horizontal.and.arrow.up"),
         QStringLiteral("Concise")},
        {RewriteStyle::Detailed, QStringLiteral("text.alignleft"), QStringLiteral("Detailed")},
    };
    return all;
}

RewriteOptionsView::RewriteOptionsView(std::function<void(RewriteStyle)> onSelect, QWidget* parent)
    : QWidget(parent)
    , m_onSelect(std::move(onSelect)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QLabel(tr("Rewrite as:"));
    header->setFont(systemFont(13, QFont::Medium));
    header->setContentsMargins(12, 8, 12, 8);
    column->addWidget(header);
    column->addWidget(new RowDivider(0));

    for (const Row& row : rows()) {
        auto* button = new StyleRowButton(row.symbol, row.title);
        connect(button, &QAbstractButton::clicked, this, [this, style = row.style] { choose(style); });
        m_buttons.append(button);
        column->addWidget(button);
        if (&row != &rows().last())
            column->addWidget(new RowDivider(40));
    }

    Theme::followAppearance(this, [this, header] {
        QPalette palette = header->palette();
        palette.setColor(QPalette::WindowText, Theme::primaryText());
        header->setPalette(palette);
        update();
    });
    setFixedSize(menuWidth, sizeHint().height());
}

void RewriteOptionsView::choose(RewriteStyle style) {
    m_selectedStyle = style;
    Q_EMIT selectedStyleChanged(style);
    if (m_onSelect)
        m_onSelect(style);
}

void RewriteOptionsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), menuRadius,
                    Theme::background(),
                    QPen(Theme::border(), Theme::borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
}
