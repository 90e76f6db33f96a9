#include "menubar/history/SavedTranslationsView.h"

#include "menubar/history/SavedTranslationsModel.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/TextButton.h"
#include "ui/Theme.h"
#include "ui/VisualEffectView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QLabel* label(const QString& text, const QFont& font, std::function<QColor()> color, QWidget* parent) {
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    result->setAlignment(Qt::AlignCenter);
    result->setWordWrap(true);
    Theme::followAppearance(result, [result, color = std::move(color)] {
        QPalette palette = result->palette();
        palette.setColor(QPalette::WindowText, color());
        result->setPalette(palette);
    });
    return result;
}

} // namespace

SavedTranslationsView::SavedTranslationsView(SavedTranslationsModel* model, Texts texts,
                                             SavedTranslationCardDelegate::Button button,
                                             std::function<bool(const TranslationHistoryItem&)> isFavorite,
                                             QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_texts(std::move(texts)) {
    setFixedSize(sheetSize);

    auto* background = new VisualEffectView(VisualEffectView::Material::HudWindow,
                                            VisualEffectView::BlendingMode::BehindWindow, this);
    background->setGeometry(rect());
    background->lower();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Theme::padding, Theme::padding, Theme::padding, Theme::padding);
    layout->setSpacing(Theme::spacing);
    layout->addWidget(makeHeader());

    m_list = new QListView(this);
    m_delegate = new SavedTranslationCardDelegate(m_list, button, std::move(isFavorite));
    m_list->setItemDelegate(m_delegate);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalScrollBar()->setSingleStep(20);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setAutoFillBackground(false);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAttribute(Qt::WA_TranslucentBackground);
    m_list->viewport()->setAttribute(Qt::WA_TranslucentBackground);
    // The rows a former sheet scrolled to are not laid out again before this one shows.
    m_model->restartFetching();
    m_list->setModel(m_model);
    connect(m_delegate, &SavedTranslationCardDelegate::cardClicked, this,
            &SavedTranslationsView::loadTranslation);
    connect(m_delegate, &SavedTranslationCardDelegate::buttonClicked, this,
            [this](const TranslationHistoryItem& item) { buttonClicked(item); });

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(makeEmptyState());
    m_stack->addWidget(m_list);
    layout->addWidget(m_stack, 1);

    Theme::followAppearance(this, [this] { m_list->viewport()->update(); });
    followModel();
}

QWidget* SavedTranslationsView::makeHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, Theme::smallPadding);

    // The back button's square: a practically invisible fill that makes all of it clickable.
    auto* frame = new RoundedBoxWidget(
        Theme::cornerRadius,
        [] { return Color::withOpacity(Color::withOpacity(Color::controlBackgroundColor(), 0.3), 0.01); }, {},
        header);
    frame->setFixedSize(32, 32);
    auto* back = new SymbolButton(
        QStringLiteral("chevron.left"), 16, [] { return Color::accentColor(); }, QSize(32, 32), frame);
    back->setAccessibleName(QStringLiteral("Back"));
    connect(back, &QAbstractButton::clicked, this, &SavedTranslationsView::dismissRequested);
    m_back = back;
    row->addWidget(frame);

    row->addWidget(label(
        m_texts.title, systemFont(18, QFont::DemiBold), [] { return Color::labelColor(); }, header));
    row->addStretch(1);

    auto* clearAll = new TextButton(
        QStringLiteral("Clear All"), [] { return Color::accentColor(); }, header);
    clearAll->setFont(systemFont(14));
    clearAll->setDisabledOpacity(0.5);
    connect(clearAll, &QAbstractButton::clicked, this, [this] {
        if (m_model->rowCount() > 0)
            this->clearAll();
    });
    m_clearAll = clearAll;
    row->addWidget(clearAll);
    return header;
}

QWidget* SavedTranslationsView::makeEmptyState() {
    auto* empty = new QWidget(this);
    auto* column = new QVBoxLayout(empty);
    column->setSpacing(16);
    column->addStretch(1);
    m_emptySymbol = new QLabel(empty);
    m_emptySymbol->setAlignment(Qt::AlignCenter);
    Theme::followAppearance(m_emptySymbol, [this] {
        const int side = Symbol::pixelSize(40);
        m_emptySymbol->setPixmap(Symbol::pixmap(m_texts.emptySymbol, QSize(side, side),
                                                Color::withOpacity(Color::secondaryLabelColor(), 0.7),
                                                devicePixelRatioF()));
    });
    column->addWidget(m_emptySymbol);
    column->addWidget(label(
        m_texts.emptyTitle, systemFont(16, QFont::Medium), [] { return Color::secondaryLabelColor(); },
        empty));
    column->addWidget(label(
        m_texts.emptySubtitle, systemFont(14),
        [] { return Color::withOpacity(Color::secondaryLabelColor(), 0.7); }, empty));
    column->addStretch(1);
    return empty;
}

void SavedTranslationsView::followModel() {
    const auto update = [this] {
        // A list still being read shows no rows, and no claim that there are none.
        const bool empty = m_model->rowCount() == 0 && !m_model->isLoading();
        m_stack->setCurrentIndex(empty ? 0 : 1);
        m_clearAll->setEnabled(!empty);
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, update);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, update);
    connect(m_model, &QAbstractItemModel::modelReset, this, update);
    update();
}

bool SavedTranslationsView::isShowingEmptyState() const {
    return m_stack->currentIndex() == 0;
}

void SavedTranslationsView::loadTranslation(const TranslationHistoryItem& item) {
    NotificationCenter::shared().post(Notifications::LoadTranslation, item.loadTranslationUserInfo());
    NotificationCenter::shared().post(m_texts.closeNotification);
}

void SavedTranslationsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_delegate)
        m_delegate->forgetHeights();
}
