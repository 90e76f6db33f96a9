#include "menubar/translator/ServicePickerView.h"

#include "menubar/translator/ProviderIcon.h"
#include "menubar/translator/RowDivider.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int rowVerticalPadding = 8;
constexpr int rowHorizontalPadding = 12;

// One provider: icon, name and, when chosen, a blue check mark; the whole row takes the click.
class ServiceRow : public QAbstractButton {
public:
    ServiceRow(TranslationService service, std::function<bool()> isSelected, QWidget* parent)
        : QAbstractButton(parent)
        , m_service(service)
        , m_isSelected(std::move(isSelected)) {
        setText(displayName(service));
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        const int content = std::max(ProviderIcon::side, fontMetrics().height());
        return {ServicePickerView::viewWidth, content + 2 * rowVerticalPadding};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect content = rect().adjusted(rowHorizontalPadding, rowVerticalPadding, -rowHorizontalPadding,
                                              -rowVerticalPadding);
        const QRect iconRect(content.left(), content.center().y() - ProviderIcon::side / 2 + 1,
                             ProviderIcon::side, ProviderIcon::side);
        painter.drawPixmap(iconRect, ProviderIcon::pixmap(m_service, Theme::dark(), devicePixelRatioF()));
        int right = content.right();
        if (m_isSelected()) {
            const int side = Symbol::pixelSize(15);
            const QRect check(content.right() - side + 1, content.center().y() - side / 2 + 1, side, side);
            painter.drawPixmap(check, Symbol::pixmap(QStringLiteral("checkmark"), check.size(),
                                                     Theme::accent(), devicePixelRatioF()));
            right = check.left() - 4;
        }
        painter.setPen(Theme::primaryText());
        const QRect textRect(iconRect.right() + 1 + 2 + 6, content.top(), right - iconRect.right() - 9,
                             content.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    TranslationService m_service;
    std::function<bool()> m_isSelected;
};

} // namespace

ServicePickerView::ServicePickerView(TranslationService selected,
                                     std::function<void(TranslationService)> onSelect,
                                     std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent)
    , m_selected(selected)
    , m_onSelect(std::move(onSelect))
    , m_onDismiss(std::move(onDismiss)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 4);
    column->setSpacing(2);
    const QList<TranslationService>& services = allTranslationServices();
    for (qsizetype i = 0; i < services.size(); ++i) {
        const TranslationService service = services.at(i);
        auto* row = new ServiceRow(
            service, [this, service] { return m_selected == service; }, this);
        connect(row, &QAbstractButton::clicked, this, [this, service] { choose(service); });
        m_rows.append(row);
        column->addWidget(row);
        if (i + 1 < services.size())
            column->addWidget(new RowDivider(rowHorizontalPadding, this));
    }
    setFixedWidth(viewWidth);
    Theme::followAppearance(this, [this] { update(); });
}

void ServicePickerView::setSelectedService(TranslationService service) {
    m_selected = service;
    for (QAbstractButton* row : m_rows)
        row->update();
}

void ServicePickerView::choose(TranslationService service) {
    setSelectedService(service);
    if (m_onSelect)
        m_onSelect(service);
    if (m_onDismiss)
        m_onDismiss();
}
