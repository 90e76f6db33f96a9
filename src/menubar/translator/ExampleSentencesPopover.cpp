#include "menubar/translator/ExampleSentencesPopover.h"

#include "menubar/translator/ExampleSentenceRow.h"
#include "ui/Color.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

ExampleSentencesPopover::ExampleSentencesPopover(const QStringList& exampleSentences,
                                                 const QString& sourceWord, QWidget* parent)
    : QWidget(parent) {
    setFixedSize(side, side);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    auto* title = new QLabel(tr("Example Sentences"));
    title->setFont(systemFont(14, QFont::Medium));
    title->setContentsMargins(0, 0, 0, 4);
    column->addWidget(title);

    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);
    for (const QString& sentence : exampleSentences)
        rows->addWidget(new ExampleSentenceRow(sentence, sourceWord));
    rows->addStretch(1);

    m_scrollArea = new QScrollArea;
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    m_scrollArea->setWidget(list);
    // After setWidget(), which turns the fill on: the popover's material shows through.
    list->setAutoFillBackground(false);
    column->addWidget(m_scrollArea, 1);

    Theme::followAppearance(this, [title] {
        QPalette palette = title->palette();
        palette.setColor(QPalette::WindowText, Color::labelColor());
        title->setPalette(palette);
    });
}

QList<ExampleSentenceRow*> ExampleSentencesPopover::rows() const {
    return m_scrollArea->widget()->findChildren<ExampleSentenceRow*>(QString(), Qt::FindDirectChildrenOnly);
}
