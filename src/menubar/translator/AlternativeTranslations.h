#pragma once

#include "services/TranslationResponse.h"

#include <QList>
#include <QWidget>
#include <optional>

class QLabel;
class QScrollArea;
class TranslationChip;

// One chip's record: an alternative translation and the group it was taken from.
struct TranslationItem {
    QString translation;
    TranslationResponse::AlternativeTranslation altGroup;

    QString id() const { return translation; }
};

// The translator's panel of alternative translations: the header "Alternative Translations" over one
// wrapping flow of chips (at most maximumChips, shared out among the groups) in a scroll area between
// minimumScrollHeight and maximumScrollHeight high. Without chips it is hidden and takes no space.
class AlternativeTranslations : public QWidget {
    Q_OBJECT
public:
    using Groups = QList<TranslationResponse::AlternativeTranslation>;

    static constexpr int maximumChips = 15;
    static constexpr int chipSpacing = 8;
    static constexpr int minimumScrollHeight = 40;
    static constexpr int maximumScrollHeight = 120;

    // Every group gets an equal share of maximumChips (the first ones one more for the remainder; past
    // maximumChips groups, one each for the first ones); a share a group cannot fill is not passed on.
    static QList<TranslationItem> displayItems(const std::optional<Groups>& groups);

    explicit AlternativeTranslations(QWidget* parent = nullptr);

    void setAlternativeTranslations(const std::optional<Groups>& groups);
    std::optional<Groups> alternativeTranslations() const { return m_groups; }

    QList<TranslationChip*> chips() const;
    QScrollArea* scrollArea() const { return m_scrollArea; }

private:
    std::optional<Groups> m_groups;
    QLabel* m_header = nullptr;
    QScrollArea* m_scrollArea = nullptr;
};
