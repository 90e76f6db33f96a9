#include "menubar/history/SavedTranslationsSheet.h"

#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryView.h"

#include <QBoxLayout>

SavedTranslationsSheet::SavedTranslationsSheet(QWidget* content, QBoxLayout* layout,
                                               std::function<void(Kind)> dismiss, QObject* parent)
    : QObject(parent)
    , m_content(content)
    , m_layout(layout)
    , m_dismiss(std::move(dismiss)) {}

void SavedTranslationsSheet::present(bool history, bool favorites) {
    const Kind wanted = history ? Kind::History : favorites ? Kind::Favorites : Kind::None;
    if (wanted == m_kind)
        return;
    close();
    m_kind = wanted;
    if (wanted == Kind::None)
        return;

    QWidget* host = m_content->parentWidget();
    if (!m_focusBefore)
        m_focusBefore = host->focusWidget();
    SavedTranslationsView* view = wanted == Kind::History
                                      ? static_cast<SavedTranslationsView*>(new HistoryView(host))
                                      : new FavoritesView(host);
    connect(view, &SavedTranslationsView::dismissRequested, this, [this, wanted] {
        if (m_kind == wanted && m_dismiss)
            m_dismiss(wanted);
    });
    m_view = view;
    m_content->hide();
    m_layout->addWidget(view, 0, Qt::AlignHCenter | Qt::AlignTop);
    view->show();
    view->raise();
}

void SavedTranslationsSheet::close() {
    if (!m_view)
        return;
    // A card click closes the sheet from inside the sheet's own event handling.
    m_layout->removeWidget(m_view);
    m_view->hide();
    m_view->deleteLater();
    m_view = nullptr;
    m_content->show();
    if (m_focusBefore && m_focusBefore->isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    m_focusBefore = nullptr;
}
