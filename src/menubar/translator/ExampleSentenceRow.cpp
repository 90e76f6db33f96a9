#include "menubar/translator/ExampleSentenceRow.h"

#include "ui/Color.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>

QList<ExampleSentenceRow::Segment> ExampleSentenceRow::attributedSentence(const QString& sentence,
                                                                          const QString& sourceWord) {
    // The shortest run inside the brackets, never across a line break.
    static const QRegularExpression bracket(QStringLiteral("\\[([^\\r\\n\\x{2028}\\x{2029}]*?)\\]"));
    QList<Segment> segments;
    qsizetype position = 0;
    QRegularExpressionMatchIterator matches = bracket.globalMatch(sentence);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedStart() > position)
            segments.append({sentence.mid(position, match.capturedStart() - position), false});
        if (!sourceWord.isEmpty())
            segments.append({sourceWord, true});
        position = match.capturedEnd();
    }
    if (position < sentence.size())
        segments.append({sentence.mid(position), false});
    // Plain pieces on both sides of an empty replacement join up again.
    QList<Segment> merged;
    for (const Segment& segment : segments) {
        if (!merged.isEmpty() && !segment.highlighted && !merged.last().highlighted)
            merged.last().text += segment.text;
        else
            merged.append(segment);
    }
    return merged;
}

QString ExampleSentenceRow::html(const QList<Segment>& segments) {
    QString result;
    const QString blue = Color::accentColor().name();
    for (const Segment& segment : segments) {
        const QString text = segment.text.toHtmlEscaped();
        if (segment.highlighted)
            result += QStringLiteral("<span style=\"font-weight:600; color:%1\">%2</span>").arg(blue, text);
        else
            result += text;
    }
    return result;
}

ExampleSentenceRow::ExampleSentenceRow(const QString& sentence, const QString& sourceWord, QWidget* parent)
    : QWidget(parent)
    , m_sentence(sentence) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(8);

    auto* bullet = new QLabel(tr("•"));
    bullet->setFont(systemFont(12));
    bullet->setFixedWidth(10);
    row->addWidget(bullet, 0, Qt::AlignTop);

    m_text = new QLabel;
    m_text->setFont(systemFont(12));
    m_text->setTextFormat(Qt::RichText);
    m_text->setWordWrap(true);
    row->addWidget(m_text, 1, Qt::AlignTop);

    Theme::followAppearance(this, [this, bullet, sourceWord] {
        QPalette palette = bullet->palette();
        palette.setColor(QPalette::WindowText, Color::secondaryLabelColor());
        bullet->setPalette(palette);
        palette = m_text->palette();
        palette.setColor(QPalette::WindowText, Theme::primaryText());
        m_text->setPalette(palette);
        m_text->setText(html(attributedSentence(m_sentence, sourceWord)));
    });
}
