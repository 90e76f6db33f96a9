#include "menubar/translator/LanguageSelector.h"

#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/PickerPopover.h"
#include "menubar/translator/SelectorButton.h"
#include "platform/DebugLog.h"
#include "ui/Color.h"
#include "ui/SelectorFieldStyle.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QString tag = QStringLiteral("LanguageSelector");
// A press that closes a popover reaches its button right after; ignore it there.
constexpr int reopenGuardMs = 250;

QLabel* columnLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(systemFont(12));
    label->setContentsMargins(4, 0, 0, 0);
    Theme::followAppearance(label, [label] {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Theme::secondaryText());
        label->setPalette(palette);
    });
    return label;
}

} // namespace

LanguageSelector::LanguageSelector(std::function<void(const Language&)> setSource,
                                   std::function<void(const Language&)> setTarget, QWidget* parent)
    : QWidget(parent)
    , m_setSource(std::move(setSource))
    , m_setTarget(std::move(setTarget))
    , m_source(Language::find(Language::automaticCode))
    , m_target(Language::find(Language::englishCode)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(columnSpacing);

    const auto column = [this, row](QLabel* label, QWidget* button, int stretch) {
        auto* layout = new QVBoxLayout;
        layout->setSpacing(labelSpacing);
        layout->addWidget(label);
        layout->addWidget(button);
        row->addLayout(layout, stretch);
    };

    auto* sourceButton = new SelectorButton(this);
    m_sourceButton = sourceButton;
    column(columnLabel(QStringLiteral("From"), this), sourceButton, 1);

    const int glyph = Symbol::pixelSize(12);
    m_swapButton = new SymbolButton(
        QStringLiteral("arrow.left.arrow.right"), 12,
        [this] {
            // Drawn at 40 % while the source is "Automatic"; the button's own fading for the disabled
            // state is allowed for.
            const QColor color = Theme::secondaryText();
            return m_source.isAutomatic() ? Color::withOpacity(color, 0.4 / 0.35) : color;
        },
        QSize(glyph + 2 * SelectorFieldStyle::horizontalPadding, SelectorFieldStyle::height), this);
    selectorFieldStyle(m_swapButton);
    m_swapButton->setToolTip(QStringLiteral("Swap languages"));
    auto* spacerLabel = columnLabel(QString(), this);
    column(spacerLabel, m_swapButton, 0);

    auto* targetButton = new SelectorButton(this);
    m_targetButton = targetButton;
    column(columnLabel(QStringLiteral("To"), this), targetButton, 1);

    connect(m_sourceButton, &QAbstractButton::clicked, this, &LanguageSelector::openSourcePicker);
    connect(m_targetButton, &QAbstractButton::clicked, this, &LanguageSelector::openTargetPicker);
    connect(m_swapButton, &QAbstractButton::clicked, this, &LanguageSelector::swapLanguages);
    setLanguages(m_source, m_target);
}

QList<Language> LanguageSelector::targetLanguages() {
    QList<Language> languages;
    for (const Language& language : Language::allLanguages()) {
        if (language.code != Language::automaticCode)
            languages.append(language);
    }
    return languages;
}

void LanguageSelector::setLanguages(const Language& source, const Language& target) {
    const bool automaticChanged = source.isAutomatic() != m_source.isAutomatic();
    m_source = source;
    m_target = target;
    m_sourceButton->setText(source.name);
    m_targetButton->setText(target.name);
    m_sourceButton->setToolTip(source.name);
    m_targetButton->setToolTip(target.name);
    m_swapButton->setEnabled(!m_source.isAutomatic());
    // The symbol's colour follows the source; the owner sets the same languages on every keystroke.
    if (automaticChanged)
        m_swapButton->update();
}

void LanguageSelector::swapLanguages() {
    if (m_source.code == Language::automaticCode)
        return;
    debugLog(tag, QStringLiteral("🔄 Dil değişimi istendi"));
    m_notificationService.postSwapTranslation();
}

void LanguageSelector::openSourcePicker() {
    openPicker(true);
}

void LanguageSelector::openTargetPicker() {
    openPicker(false);
}

void LanguageSelector::openPicker(bool source) {
    QPointer<PickerPopover>& popover = source ? m_sourcePopover : m_targetPopover;
    QElapsedTimer& closed = source ? m_sourceClosed : m_targetClosed;
    if (popover && popover->isShown()) {
        popover->performClose();
        return;
    }
    if (closed.isValid() && closed.elapsed() < reopenGuardMs)
        return;
    if (!popover) {
        popover = new PickerPopover(source ? m_sourceButton : m_targetButton, pickerSize);
        connect(popover, &PopoverWindow::closed, this, [&closed] {
            if (QGuiApplication::mouseButtons() != Qt::NoButton)
                closed.start();
            else
                closed.invalidate();
        });
    }
    // Each opening starts with an empty search.
    auto* picker = new LanguagePickerView(
        source ? m_source : m_target, source ? Language::allLanguages() : targetLanguages(),
        [this, source](const Language& language) {
            if (source && m_setSource)
                m_setSource(language);
            else if (!source && m_setTarget)
                m_setTarget(language);
        },
        [this, source] {
            const QPointer<PickerPopover>& open = source ? m_sourcePopover : m_targetPopover;
            if (open)
                open->performClose();
        });
    popover->open(picker);
    picker->focusSearchField();
}

void LanguageSelector::closePickers() {
    for (PickerPopover* popover : {m_sourcePopover.data(), m_targetPopover.data()}) {
        if (popover && popover->isShown())
            popover->performClose();
    }
}

LanguagePickerView* LanguageSelector::sourcePicker() const {
    return m_sourcePopover && m_sourcePopover->isShown()
               ? qobject_cast<LanguagePickerView*>(m_sourcePopover->contentWidget())
               : nullptr;
}

LanguagePickerView* LanguageSelector::targetPicker() const {
    return m_targetPopover && m_targetPopover->isShown()
               ? qobject_cast<LanguagePickerView*>(m_targetPopover->contentWidget())
               : nullptr;
}
