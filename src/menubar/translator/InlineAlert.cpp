#include "menubar/translator/InlineAlert.h"

#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

InlineAlert::InlineAlert(const QString& message, AlertType type, std::function<void()> onDismiss,
                         QWidget* parent)
    : QWidget(parent)
    , m_message(message)
    , m_type(type)
    , m_onDismiss(std::move(onDismiss)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(spacing);

    m_iconLabel = new QLabel(this);
    const int side = Symbol::pixelSize(13);
    m_iconLabel->setFixedSize(side, side);
    row->addWidget(m_iconLabel, 0, Qt::AlignVCenter);

    m_messageLabel = new QLabel(this);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_messageLabel->setFont(systemFont(14));
    row->addWidget(m_messageLabel, 1);

    m_closeButton = new SymbolButton(
        QStringLiteral("xmark"), 12, [] { return Theme::secondaryText(); },
        QSize(Symbol::pixelSize(12), Symbol::pixelSize(12)), this);
    m_closeButton->setCursor(Qt::ArrowCursor);
    row->addWidget(m_closeButton, 0, Qt::AlignVCenter);
    connect(m_closeButton, &QAbstractButton::clicked, this, &InlineAlert::dismiss);

    // The banner has children: an effect fades them with it.
    auto* opacity = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(opacity);
    m_fade = new OpacityFade(this, opacity, "opacity", opacity);

    Theme::followAppearance(this, [this] { refresh(); });
}

void InlineAlert::setAlert(const QString& message, AlertType type) {
    m_message = message;
    m_type = type;
    refresh();
}

void InlineAlert::refresh() {
    m_messageLabel->setText(m_message);
    QPalette palette = m_messageLabel->palette();
    palette.setColor(QPalette::WindowText, Theme::primaryText());
    m_messageLabel->setPalette(palette);
    m_iconLabel->setPixmap(
        Symbol::pixmap(iconName(m_type), m_iconLabel->size(), tintColor(m_type), devicePixelRatioF()));
    update();
}

void InlineAlert::dismiss() {
    m_fade->fadeOut();
    if (m_onDismiss)
        m_onDismiss();
}

std::optional<InlineAlert::AlertType> InlineAlert::typeFromName(const QString& name) {
    if (name == QLatin1String("info"))
        return AlertType::Info;
    if (name == QLatin1String("warning"))
        return AlertType::Warning;
    if (name == QLatin1String("error"))
        return AlertType::Error;
    if (name == QLatin1String("success"))
        return AlertType::Success;
    return std::nullopt;
}

QColor InlineAlert::tintColor(AlertType type) {
    switch (type) {
    case AlertType::Info:
        return Color::accentColor();
    case AlertType::Warning:
        return Color::orange();
    case AlertType::Error:
        return Color::red();
    case AlertType::Success:
        return Color::green();
    }
    return Color::orange();
}

QString InlineAlert::iconName(AlertType type) {
    switch (type) {
    case AlertType::Info:
        return QStringLiteral("info.circle");
    case AlertType::Warning:
        return QStringLiteral("exclamationmark.triangle");
    case AlertType::Error:
        return QStringLiteral("xmark.circle");
    case AlertType::Success:
        return QStringLiteral("checkmark.circle");
    }
    return {};
}

void InlineAlert::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor tint = tintColor(m_type);
    paintRoundedBox(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::cornerRadius,
                    Color::withOpacity(tint, 0.1),
                    QPen(Color::withOpacity(tint, 0.3), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
}
