#pragma once

#include "platform/MainQueue.h"

#include <QStringList>
#include <QWidget>

class AttachedPopover;
class PopoverWindow;

// One alternative translation as a rounded chip, preceded by the abbreviation of its part of speech.
// Resting the pointer on it for hoverDelayMs opens a popover below it with the translation's
// back-translations; leaving the chip closes it. A click does nothing.
class TranslationChip : public QWidget {
    Q_OBJECT
public:
    struct PartOfSpeech {
        QString abbreviation; // shown on the chip; empty for an unknown part of speech
        QString title;        // shown in the popover
    };

    static constexpr int hoverDelayMs = 300;
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 4;
    static constexpr int labelSpacing = 4;
    static constexpr qreal cornerRadius = 12;
    static constexpr int popoverMinimumWidth = 80;
    static constexpr int popoverMaximumWidth = 250;

    // Case-insensitive for the eight known parts of speech; anything else has no abbreviation and
    // keeps its own text as the title.
    static PartOfSpeech partOfSpeechLabel(const QString& categoryType);

    TranslationChip(const QString& translation, const QStringList& backTranslations,
                    const QString& categoryType, QWidget* parent = nullptr);

    QString translation() const { return m_translation; }
    QStringList backTranslations() const { return m_backTranslations; }
    QString categoryType() const { return m_categoryType; }
    bool isHovered() const { return m_isHovered; }
    bool isPopoverShown() const;
    bool isPopoverPending() const { return m_hoverDelay.isActive(); }
    AttachedPopover* popover() const { return m_popover; }

    void handleHover(bool hovering);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showPopover();
    void closePopover();
    QWidget* buildPopoverContent() const;

    QString m_translation;
    QStringList m_backTranslations;
    QString m_categoryType;
    PartOfSpeech m_label;
    bool m_isHovered = false;
    MainQueueTimer m_hoverDelay;
    AttachedPopover* m_popover;
};
