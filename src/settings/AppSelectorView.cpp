#include "settings/AppSelectorView.h"

#include "settings/RunningAppsService.h"
#include "settings/SettingsStyle.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int iconSide = 32;
constexpr int iconSpacing = 14;
constexpr int insetH = 16;
constexpr int insetV = 4;
constexpr int labelPaddingV = 8;

// A row of the list: icon, name over bundle identifier. The whole width is clickable; no hover state.
class AppRowButton : public QAbstractButton {
public:
    AppRowButton(const RunningApp& app, QWidget* parent)
        : QAbstractButton(parent)
        , m_app(app) {
        setAccessibleName(app.name);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(insetV + labelPaddingV + iconSide + labelPaddingV + insetV);
        Theme::followAppearance(this, [this] { update(); });
    }

    const RunningApp& app() const { return m_app; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRect iconRect(insetH, (height() - iconSide) / 2, iconSide, iconSide);
        if (!m_app.icon.isNull()) {
            // Stretched to the square, clipped to rounded corners.
            QPainterPath clip;
            clip.addRoundedRect(QRectF(iconRect), 6, 6);
            painter.save();
            painter.setClipPath(clip);
            const QPixmap pixmap = m_app.icon.pixmap(QSize(iconSide, iconSide), devicePixelRatioF());
            painter.drawPixmap(iconRect, pixmap);
            painter.restore();
        } else {
            painter.drawPixmap(iconRect, Symbol::pixmap(QStringLiteral("app.fill"), iconRect.size(),
                                                        SettingsStyle::blue(), devicePixelRatioF()));
        }

        const int textLeft = iconRect.right() + 1 + iconSpacing;
        const QRect textArea(textLeft, 0, width() - textLeft - insetH, height());
        const QFont nameFont = SettingsStyle::font(14, QFont::Medium);
        const QFont idFont = SettingsStyle::font(12);
        const QFontMetrics nameMetrics(nameFont);
        const QFontMetrics idMetrics(idFont);
        const int block = nameMetrics.height() + 4 + idMetrics.height();
        const int top = (height() - block) / 2;
        painter.setFont(nameFont);
        painter.setPen(SettingsStyle::titleColor());
        painter.drawText(QRect(textArea.left(), top, textArea.width(), nameMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         nameMetrics.elidedText(m_app.name, Qt::ElideRight, textArea.width()));
        painter.setFont(idFont);
        painter.setPen(Color::secondaryLabelColor());
        painter.drawText(
            QRect(textArea.left(), top + nameMetrics.height() + 4, textArea.width(), idMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            idMetrics.elidedText(m_app.bundleIdentifier, Qt::ElideRight, textArea.width()));
    }

private:
    RunningApp m_app;
};

} // namespace

AppSelectorView::AppSelectorView(OnSelect onSelect, QWidget* parent)
    : QWidget(parent)
    , m_onSelect(std::move(onSelect)) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Header.
    auto* header = new RoundedBoxWidget(0, &SettingsStyle::boxFill, {}, this);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(20, 20, 20, 20);
    auto* title = new QLabel(QStringLiteral("Select Application"), header);
    title->setFont(SettingsStyle::font(18, QFont::DemiBold));
    SettingsStyle::followTextColor(title, &Color::labelColor);
    headerRow->addWidget(title);
    headerRow->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), header);
    cancel->setAutoDefault(false);
    cancel->setToolTip(QStringLiteral("Ctrl+Esc"));
    m_cancelButton = cancel;
    headerRow->addWidget(cancel);
    root->addWidget(header);
    connect(cancel, &QPushButton::clicked, this, &AppSelectorView::dismissRequested);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, &AppSelectorView::dismissRequested);

    // Search field.
    auto* field = new RoundedBoxWidget(
        8,
        [] { return Theme::dark() ? Color::withOpacity(SettingsStyle::darkGray(), 0.3) : QColor(Qt::white); },
        &SettingsStyle::boxBorder, this);
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(12, 12, 12, 12);
    auto* magnifier = new QLabel(field);
    const int glyph = Symbol::pixelSize(13);
    Theme::followAppearance(magnifier, [magnifier, glyph] {
        magnifier->setPixmap(Symbol::pixmap(QStringLiteral("magnifyingglass"), QSize(glyph, glyph),
                                            Color::secondaryLabelColor(), magnifier->devicePixelRatioF()));
    });
    fieldRow->addWidget(magnifier);
    m_searchField = new QLineEdit(field);
    m_searchField->setPlaceholderText(QStringLiteral("Search applications"));
    m_searchField->setFont(SettingsStyle::font(14));
    m_searchField->setClearButtonEnabled(false);
    fieldRow->addWidget(m_searchField, 1);
    m_clearButton = new SymbolButton(QStringLiteral("xmark.circle.fill"), 13, &Color::secondaryLabelColor,
                                     QSize(glyph + 4, glyph + 4), field);
    m_clearButton->setAccessibleName(QStringLiteral("Clear"));
    m_clearButton->setCursor(Qt::PointingHandCursor);
    m_clearButton->hide();
    fieldRow->addWidget(m_clearButton);
    auto* fieldPadding = new QVBoxLayout;
    fieldPadding->setContentsMargins(20, 20, 20, 10);
    fieldPadding->addWidget(field);
    root->addLayout(fieldPadding);
    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clearButton->setVisible(!text.isEmpty());
        rebuildRows();
    });
    connect(m_clearButton, &QAbstractButton::clicked, m_searchField, &QLineEdit::clear);

    // List.
    m_list = new QScrollArea(this);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setWidgetResizable(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);
    auto* listPadding = new QVBoxLayout;
    listPadding->setContentsMargins(20, 0, 20, 20);
    listPadding->addWidget(m_list, 1);
    root->addLayout(listPadding, 1);
    rebuildRows();
}

QList<RunningApp> AppSelectorView::filteredApps() const {
    return RunningAppsService::filter(m_runningApps, searchText());
}

QString AppSelectorView::searchText() const {
    return m_searchField->text();
}

QList<QAbstractButton*> AppSelectorView::rowButtons() const {
    QList<QAbstractButton*> buttons;
    if (!m_rows)
        return buttons;
    for (QObject* child : m_rows->children()) {
        if (auto* button = qobject_cast<QAbstractButton*>(child))
            buttons.append(button);
    }
    return buttons;
}

void AppSelectorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    m_runningApps = RunningAppsService::getRunningApps();
    rebuildRows();
    m_searchField->setFocus();
}

void AppSelectorView::rebuildRows() {
    // The list is rebuilt from the snapshot at each change of the search, as it is drawn.
    auto* rows = new QWidget;
    rows->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const RunningApp& app : filteredApps()) {
        auto* row = new AppRowButton(app, rows);
        const QString bundleIdentifier = app.bundleIdentifier;
        connect(row, &QAbstractButton::clicked, this, [this, bundleIdentifier] {
            if (m_onSelect)
                m_onSelect(bundleIdentifier);
        });
        layout->addWidget(row);
    }
    layout->addStretch(1);
    m_list->setWidget(rows); // deletes the previous rows
    m_rows = rows;
}
