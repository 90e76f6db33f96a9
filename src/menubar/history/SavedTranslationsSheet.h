#pragma once

#include "menubar/history/SavedTranslationsView.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QBoxLayout;

// The history or the favorites shown in place of a view's own content, inside the same window: the
// content is hidden while a sheet shows, so the window takes the sheet's size and gets its own back after.
// Clicks in the sheet are clicks in that window. Each sheet is made anew when it comes up.
class SavedTranslationsSheet : public QObject {
    Q_OBJECT
public:
    enum class Kind { None, History, Favorites };

    // `content` sits in `layout` and makes way for the sheet; `dismiss` runs on the sheet's back button.
    SavedTranslationsSheet(QWidget* content, QBoxLayout* layout, std::function<void(Kind)> dismiss,
                           QObject* parent = nullptr);

    // The sheet for the two flags of the view; the history goes first should both be up.
    void present(bool history, bool favorites);

    Kind kind() const { return m_kind; }
    SavedTranslationsView* view() const { return m_view; }

private:
    void close();

    QWidget* m_content;
    QBoxLayout* m_layout;
    std::function<void(Kind)> m_dismiss;
    Kind m_kind = Kind::None;
    QPointer<SavedTranslationsView> m_view;
    QPointer<QWidget> m_focusBefore;
};
