#include "menubar/translator/AlternativeTranslations.h"

#include "menubar/translator/FlowLayout.h"
#include "menubar/translator/TranslationChip.h"
#include "ui/Color.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// As tall as its chips need at its width, within the panel's bounds; taller flows scroll. The height is
// fixed from the width, so layouts that do not ask for heights by width get it right as well.
class ChipScrollArea : public QScrollArea {
public:
    ChipScrollArea() {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setFixedHeight(AlternativeTranslations::minimumScrollHeight);
    }

    int heightFor(int width) const {
        const int content = widget() ? widget()->heightForWidth(width) : 0;
        return std::clamp(content, AlternativeTranslations::minimumScrollHeight,
                          AlternativeTranslations::maximumScrollHeight);
    }

    void fitHeight() { setFixedHeight(heightFor(width())); }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        fitHeight();
    }
};

} // namespace

QList<TranslationItem> AlternativeTranslations::displayItems(const std::optional<Groups>& groups) {
    QList<TranslationItem> items;
    if (!groups || groups->isEmpty())
        return items;
    const int n = int(groups->size());
    for (int index = 0; index < n; ++index) {
        const TranslationResponse::AlternativeTranslation& group = groups->at(index);
        int share = 0;
        if (n <= maximumChips)
            share = maximumChips / n + (index < maximumChips % n ? 1 : 0);
        else
            share = index < maximumChips ? 1 : 0;
        const int taken = std::min(share, int(group.translations.size()));
        for (int i = 0; i < taken; ++i)
            items.append({group.translations.at(i), group});
    }
    return items;
}

AlternativeTranslations::AlternativeTranslations(QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(8);

    m_header = new QLabel(tr("Alternative Translations"));
    m_header->setFont(systemFont(13, QFont::Medium));
    m_header->setContentsMargins(4, 0, 4, 0);
    column->addWidget(m_header);

    m_scrollArea = new ChipScrollArea;
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    column->addWidget(m_scrollArea);

    Theme::followAppearance(this, [this] {
        QPalette palette = m_header->palette();
        palette.setColor(QPalette::WindowText, Color::secondaryLabelColor());
        m_header->setPalette(palette);
    });
    setVisible(false);
}

void AlternativeTranslations::setAlternativeTranslations(const std::optional<Groups>& groups) {
    m_groups = groups;
    const QList<TranslationItem> items = displayItems(groups);

    auto* flow = new QWidget;
    auto* layout = new FlowLayout(chipSpacing, flow);
    layout->setContentsMargins(4, 0, 4, 0);
    for (const TranslationItem& item : items) {
        const QStringList meanings = item.altGroup.backTranslations
                                         ? item.altGroup.backTranslations->value(item.translation)
                                         : QStringList();
        layout->addWidget(new TranslationChip(item.translation, meanings, item.altGroup.type));
    }
    delete m_scrollArea->takeWidget();
    m_scrollArea->setWidget(flow);
    // The scroll area fills its widget with the window colour; the panel's material shows through here.
    flow->setAutoFillBackground(false);
    static_cast<ChipScrollArea*>(m_scrollArea)->fitHeight();
    setVisible(!items.isEmpty());
}

QList<TranslationChip*> AlternativeTranslations::chips() const {
    QWidget* flow = m_scrollArea->widget();
    if (!flow)
        return {};
    QList<TranslationChip*> result;
    for (int i = 0; i < flow->layout()->count(); ++i) {
        if (auto* chip = qobject_cast<TranslationChip*>(flow->layout()->itemAt(i)->widget()))
            result.append(chip);
    }
    return result;
}
