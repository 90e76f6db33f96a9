#include "menubar/translator/LanguagePickerView.h"

#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int separatorHeight = 1;

// A row: the name, a check mark on the chosen language, and a hairline below all but the last row.
class LanguageRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static int rowHeight(const QFontMetrics& metrics) {
        return metrics.height() + 2 * LanguagePickerView::rowVerticalPadding;
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        // Every row reserves the gap and the hairline, so all rows are equally tall; the last one leaves
        // its hairline out.
        return {option.rect.width(),
                rowHeight(option.fontMetrics) + 2 * LanguagePickerView::rowSpacing + separatorHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const int rowHeightPx = rowHeight(option.fontMetrics);
        const QRect row(option.rect.left(), option.rect.top(), option.rect.width(), rowHeightPx);
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (view && view->currentIndex() == index) {
            paintRoundedBox(*painter, QRectF(row).adjusted(4, 0, -4, 0), 6,
                            Color::withOpacity(Theme::accent(), 0.18));
        }
        const QRect content =
            row.adjusted(LanguagePickerView::rowHorizontalPadding, LanguagePickerView::rowVerticalPadding,
                         -LanguagePickerView::rowHorizontalPadding, -LanguagePickerView::rowVerticalPadding);
        int textRight = content.right();
        if (index.data(LanguageListModel::SelectedRole).toBool()) {
            const int side = Symbol::pixelSize(15);
            const QRect check(content.right() - side + 1, content.center().y() - side / 2 + 1, side, side);
            painter->drawPixmap(check,
                                Symbol::pixmap(QStringLiteral("checkmark"), check.size(), Theme::accent(),
                                               painter->device()->devicePixelRatioF()));
            textRight = check.left() - 4;
        }
        painter->setPen(Theme::primaryText());
        painter->drawText(QRect(content.left(), content.top(), textRight - content.left(), content.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        if (!index.data(LanguageListModel::LastRole).toBool()) {
            const int y = row.bottom() + 1 + LanguagePickerView::rowSpacing;
            painter->fillRect(QRect(option.rect.left() + LanguagePickerView::rowHorizontalPadding, y,
                                    option.rect.width() - LanguagePickerView::rowHorizontalPadding,
                                    separatorHeight),
                              Theme::border());
        }
        painter->restore();
    }
};

// The list with a little room above the first and below the last row, inside the scrolling area.
class PaddedListView : public QListView {
public:
    PaddedListView(int padding, QWidget* parent)
        : QListView(parent) {
        setViewportMargins(0, padding, 0, padding);
    }
};

class FullWidthDivider : public QWidget {
public:
    explicit FullWidthDivider(QWidget* parent)
        : QWidget(parent) {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::border());
    }
};

} // namespace

void LanguageListModel::setLanguages(const QList<Language>& languages) {
    beginResetModel();
    m_languages = languages;
    endResetModel();
}

void LanguageListModel::setSelectedCode(const QString& code) {
    m_selectedCode = code;
    if (!m_languages.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_languages.size()) - 1), {SelectedRole});
}

int LanguageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_languages.size());
}

QVariant LanguageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_languages.size())
        return {};
    const Language& language = m_languages.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return language.name;
    case CodeRole:
        return language.code;
    case SelectedRole:
        return language.code == m_selectedCode;
    case LastRole:
        return index.row() == m_languages.size() - 1;
    default:
        return {};
    }
}

QList<Language> LanguagePickerView::filteredLanguages(const QList<Language>& languages,
                                                      const QString& searchText) {
    if (searchText.isEmpty())
        return languages;
    // Lower-cased by the user's locale, so that in Turkish "I" is "ı" and "İ" is "i".
    const QLocale locale;
    const QString query = locale.toLower(searchText);
    QList<Language> result;
    for (const Language& language : languages) {
        if (locale.toLower(language.name).contains(query) || locale.toLower(language.code).contains(query))
            result.append(language);
    }
    return result;
}

LanguagePickerView::LanguagePickerView(const Language& selected, QList<Language> languages,
                                       std::function<void(const Language&)> onSelect,
                                       std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent)
    , m_selected(selected)
    , m_languages(std::move(languages))
    , m_onSelect(std::move(onSelect))
    , m_onDismiss(std::move(onDismiss)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* searchBar = new QHBoxLayout;
    searchBar->setContentsMargins(8, 8, 8, 8);
    searchBar->setSpacing(6);
    auto* icon = new QLabel(this);
    const int iconSide = Symbol::pixelSize(13);
    icon->setFixedSize(iconSide, iconSide);
    searchBar->addWidget(icon);
    m_searchField = new QLineEdit(this);
    m_searchField->setFrame(false);
    m_searchField->setPlaceholderText(QStringLiteral("Search languages"));
    m_searchField->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_searchField->installEventFilter(this);
    searchBar->addWidget(m_searchField, 1);
    m_clearButton = new SymbolButton(
        QStringLiteral("xmark.circle.fill"), 13, [] { return Theme::secondaryText(); },
        QSize(iconSide, iconSide), this);
    m_clearButton->hide();
    searchBar->addWidget(m_clearButton);
    column->addLayout(searchBar);
    column->addWidget(new FullWidthDivider(this));

    m_list = new PaddedListView(rowSpacing, this);
    m_list->setModel(&m_model);
    m_list->setItemDelegate(new LanguageRowDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    column->addWidget(m_list, 1);

    connect(m_searchField, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] { setSearchText(QString()); });
    connect(m_list, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            choose(m_model.languages().at(index.row()));
    });

    Theme::followAppearance(this, [this, icon, iconSide] {
        icon->setPixmap(Symbol::pixmap(QStringLiteral("magnifyingglass"), QSize(iconSide, iconSide),
                                       Theme::secondaryText(), devicePixelRatioF()));
        QPalette palette = m_searchField->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Theme::primaryText());
        palette.setColor(QPalette::PlaceholderText, Theme::secondaryText());
        m_searchField->setPalette(palette);
        m_list->viewport()->update();
    });
    m_model.setSelectedCode(m_selected.code);
    applyFilter();
}

QString LanguagePickerView::searchText() const {
    return m_searchField->text();
}

void LanguagePickerView::setSearchText(const QString& text) {
    m_searchField->setText(text);
}

void LanguagePickerView::applyFilter() {
    m_model.setLanguages(filteredLanguages(m_languages, m_searchField->text()));
    m_clearButton->setVisible(!m_searchField->text().isEmpty());
    m_list->setCurrentIndex({});
}

int LanguagePickerView::currentRow() const {
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void LanguagePickerView::moveCurrent(int delta) {
    const int count = m_model.rowCount();
    if (count == 0)
        return;
    const int row =
        currentRow() < 0 ? (delta > 0 ? 0 : count - 1) : std::clamp(currentRow() + delta, 0, count - 1);
    const QModelIndex index = m_model.index(row);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
    m_list->viewport()->update();
}

void LanguagePickerView::choose(const Language& language) {
    m_selected = language;
    m_model.setSelectedCode(language.code);
    if (m_onSelect)
        m_onSelect(language);
    if (m_onDismiss)
        m_onDismiss();
}

void LanguagePickerView::focusSearchField() {
    m_searchField->setFocus(Qt::PopupFocusReason);
}

bool LanguagePickerView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Down:
            moveCurrent(1);
            return true;
        case Qt::Key_Up:
            moveCurrent(-1);
            return true;
        case Qt::Key_PageDown:
            moveCurrent(10);
            return true;
        case Qt::Key_PageUp:
            moveCurrent(-10);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Return takes the row the arrows reached, else the first match of a search.
            int row = currentRow();
            if (row < 0 && !m_searchField->text().isEmpty() && m_model.rowCount() > 0)
                row = 0;
            if (row >= 0)
                choose(m_model.languages().at(row));
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
