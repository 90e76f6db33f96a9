#include "settings/PermissionCard.h"

#include "settings/FilledButton.h"
#include "ui/Color.h"
#include "ui/ImageAsset.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QFontInfo>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr QSize kPictureSize(200, 163);

void setTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// The picture, fitted into its frame and clipped to rounded corners.
class RoundedPicture : public QWidget {
public:
    RoundedPicture(QString imageName, QWidget* parent)
        : QWidget(parent)
        , m_imageName(std::move(imageName)) {
        setFixedSize(kPictureSize);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 12, 12);
        painter.setClipPath(clip);
        const QPixmap image = ImageAsset::pixmap(m_imageName, size(), devicePixelRatioF());
        if (image.isNull())
            return;
        const QSizeF shown = image.deviceIndependentSize();
        painter.drawPixmap(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), image);
    }

private:
    QString m_imageName;
};

// The green "granted" line on a light (or dark) pill.
class GrantedLine : public QWidget {
public:
    GrantedLine(QString text, QWidget* parent)
        : QWidget(parent)
        , m_text(std::move(text)) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        Theme::followAppearance(this, [this] { update(); });
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics = fontMetrics();
        return {16 + Symbol::pixelSize(QFontInfo(font()).pixelSize()) + 6 +
                    metrics.horizontalAdvance(m_text) + 16,
                8 + metrics.height() + 8};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintRoundedBox(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8,
                        Theme::dark() ? QColor(Color(QStringLiteral("2A2E3A"))) : QColor(Qt::white),
                        QPen(Color::separatorColor(), 1));
        const int side = Symbol::pixelSize(QFontInfo(font()).pixelSize());
        const QColor green = Color::green();
        painter.drawPixmap(16, (height() - side) / 2,
                           Symbol::pixmap(QStringLiteral("checkmark.circle.fill"), QSize(side, side), green,
                                          devicePixelRatioF()));
        painter.setPen(green);
        painter.drawText(QRect(16 + side + 6, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter,
                         m_text);
    }

private:
    QString m_text;
};

} // namespace

QString PermissionCard::allowButtonText(const QString& title) {
    return QStringLiteral("Allow ") + title.section(QLatin1Char(' '), 0, 0);
}

PermissionCard::PermissionCard(const QString& title, const QString& description, const QString& imageName,
                               const QString& grantedText, std::function<void()> buttonAction,
                               QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(30 + 15, 8, 30 + 15, 8);
    row->setSpacing(20);

    auto* picture = new RoundedPicture(imageName, this);
    Theme::applyShadow(picture, Theme::Shadow{QColor(0, 0, 0, 13), 3, 0, 1});
    row->addWidget(picture, 0, Qt::AlignVCenter);

    // A widget, not a bare layout: centred in the row, it still gets the height its wrapped text needs.
    auto* textColumn = new QWidget(this);
    auto* column = new QVBoxLayout(textColumn);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(8);
    auto* titleLabel = new QLabel(title, this);
    QFont headline = titleLabel->font();
    headline.setPixelSize(13);
    headline.setBold(true);
    titleLabel->setFont(headline);
    auto* descriptionLabel = new QLabel(description, this);
    descriptionLabel->setWordWrap(true);
    QFont body = descriptionLabel->font();
    body.setPixelSize(13);
    descriptionLabel->setFont(body);
    Theme::followAppearance(this, [titleLabel, descriptionLabel] {
        setTextColor(titleLabel, Color::labelColor());
        setTextColor(descriptionLabel, Color::secondaryLabelColor());
    });
    column->addWidget(titleLabel);
    column->addWidget(descriptionLabel);

    m_allowButton = new FilledButton(
        allowButtonText(title), QString(), QMargins(20, 8, 20, 8),
        [](const FilledButton&) {
            return FilledButton::Colors{Color::accentColor(), Qt::white};
        },
        this);
    QFont medium = m_allowButton->font();
    medium.setWeight(QFont::Medium);
    medium.setPixelSize(13);
    m_allowButton->setFont(medium);
    connect(m_allowButton, &QAbstractButton::clicked, this, [action = std::move(buttonAction)] {
        if (action)
            action();
    });
    m_grantedLine = new GrantedLine(grantedText, this);
    m_grantedLine->setFont(body);
    Theme::applyShadow(m_grantedLine, Theme::Shadow{QColor(0, 0, 0, 13), 2, 0, 1});

    auto* buttonRow = new QVBoxLayout;
    buttonRow->setContentsMargins(0, 3, 0, 0);
    buttonRow->addWidget(m_allowButton, 0, Qt::AlignLeft);
    auto* grantedRow = new QVBoxLayout;
    grantedRow->setContentsMargins(0, 4, 0, 4);
    grantedRow->addWidget(m_grantedLine, 0, Qt::AlignLeft);
    column->addLayout(buttonRow);
    column->addLayout(grantedRow);
    row->addWidget(textColumn, 1, Qt::AlignVCenter);

    setGranted(false);
}

void PermissionCard::setGranted(bool granted) {
    m_granted = granted;
    m_allowButton->setVisible(!granted);
    m_grantedLine->setVisible(granted);
}
