#include "settings/TabContentView.h"

#include "settings/AboutTabView.h"
#include "settings/FloatingBarTabView.h"
#include "settings/GeneralTabView.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsView.h"
#include "ui/Color.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

namespace {

QWidget* makeTabView(int tab) {
    switch (tab) {
    case SettingsView::General:
        return new GeneralTabView;
    case SettingsView::FloatingBar:
        return new FloatingBarTabView;
    case SettingsView::Shortcuts:
        if (const SettingsView::TabFactory& factory = SettingsView::shortcutsTabFactory())
            return factory();
        return new QWidget;
    case SettingsView::About:
        return new AboutTabView;
    default:
        return nullptr;
    }
}

} // namespace

TabContentView::TabContentView(int selectedTab, QWidget* parent)
    : QScrollArea(parent)
    , m_selectedTab(selectedTab) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // Every tab fits the window; only a screen too short for the window brings a scroll bar.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
    Theme::followAppearance(this, [this] {
        QPalette palette = viewport()->palette();
        palette.setColor(QPalette::Window, Color::windowBackgroundColor());
        viewport()->setPalette(palette);
    });

    auto* page = new QWidget;
    page->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(padding, SettingsStyle::sectionSpacing, padding, SettingsStyle::sectionSpacing);
    m_tabView = makeTabView(selectedTab);
    if (m_tabView)
        layout->addWidget(m_tabView);
    layout->addStretch(1);
    setWidget(page);
}
