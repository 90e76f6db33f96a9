#include "ui/TranslationPopoverView.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "services/Language.h"
#include "services/LanguageDetectionService.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"
#include "ui/Color.h"
#include "ui/ElidedLabel.h"
#include "ui/GlobalToastManager.h"
#include "ui/MenuPicker.h"
#include "ui/PopoverWindow.h"
#include "ui/ProgressSpinner.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/TextButton.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString tag = QStringLiteral("TranslationPopoverView");
const QString errorPrefix = QStringLiteral("Çeviri hatası: ");

constexpr int captionPixelSize = 10;
constexpr int bodyPixelSize = 13;
constexpr int editorPixelSize = 16;
constexpr int editorLineSpacing = 5;
constexpr int sideMargin = 12;
constexpr int maximumEditorHeight = 200;
constexpr int pickerWidth = 120;
constexpr int servicePickerWidth = 100;

// A hairline across the popover, in the separator colour.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr)
        : QWidget(parent) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::border());
    }
};

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QList<MenuPicker::Row> languageRows(bool withAutomatic) {
    QList<MenuPicker::Row> rows;
    for (const Language& language : Language::allLanguages()) {
        if (!withAutomatic && language.isAutomatic())
            continue;
        rows.append({language.name, language.code});
    }
    return rows;
}

QList<MenuPicker::Row> serviceRows() {
    QList<MenuPicker::Row> rows;
    for (TranslationService service : allTranslationServices())
        rows.append({displayName(service), rawValue(service)});
    return rows;
}

} // namespace

TranslationPopoverView::TranslationPopoverView(const QString& text, const QString& sourceLanguage,
                                               const QString& targetLanguage,
                                               TranslationService selectedService,
                                               const QString& triggerSource, qreal popoverHeight,
                                               QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_sourceLanguage(sourceLanguage)
    , m_targetLanguage(targetLanguage)
    , m_triggerSource(triggerSource)
    , m_session(TranslationSession::Sender::Direct, triggerSource)
    , m_popoverHeight(popoverHeight) {
    m_session.setText(text);
    m_session.setSourceLanguage(sourceLanguage);
    m_session.setTargetLanguage(targetLanguage);
    m_session.setService(selectedService);
    m_session.setAnswerHandler(
        [this](const TranslationSession::Translation& sent, const TranslationSession::Outcome& outcome) {
            applyAnswer(sent, outcome);
        });
    setFixedSize(viewWidth, int(std::lround(popoverHeight)));
    buildUi();

    TextToSpeechService& tts = TextToSpeechService::shared();
    connect(&tts, &TextToSpeechService::isPlayingChanged, this,
            &TranslationPopoverView::refreshSpeechButtons);
    connect(&tts, &TextToSpeechService::activeSourceChanged, this,
            &TranslationPopoverView::refreshSpeechButtons);
    // The result area holds the translation, which a failed speech leaves as it is: a toast says it.
    connect(&tts, &TextToSpeechService::failed, this, [this](QObject* requester, const QString& message) {
        if (requester == this)
            GlobalToastManager::shared().show(message, QStringLiteral("exclamationmark.triangle"));
    });
    Theme::followAppearance(this, [this] {
        setTextColor(m_sourceLine, Color::secondaryLabelColor());
        setTextColor(m_errorLabel, Color::red());
        setTextColor(m_editor, Theme::primaryText());
        for (QLabel* caption : findChildren<QLabel*>(QStringLiteral("caption")))
            setTextColor(caption, Color::secondary());
        if (m_fullTextLabel)
            setTextColor(m_fullTextLabel, Theme::primaryText());
        update();
    });
    refresh();
}

TranslationPopoverView::~TranslationPopoverView() = default;

void TranslationPopoverView::buildUi() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(sideMargin, 8, sideMargin, 8);
    root->setSpacing(8);

    // 1. Languages, swap and provider.
    auto* header = new QHBoxLayout;
    header->setSpacing(4);
    m_sourcePicker = new MenuPicker(languageRows(true), pickerWidth, this);
    m_swapButton = new SymbolButton(
        QStringLiteral("arrow.left.arrow.right"), 13, [] { return Color::secondary(); }, QSize(20, 30), this);
    m_swapButton->setToolTip(QStringLiteral("Dilleri değiştir"));
    m_targetPicker = new MenuPicker(languageRows(false), pickerWidth, this);
    m_servicePicker = new MenuPicker(serviceRows(), servicePickerWidth, this);
    header->addWidget(m_sourcePicker);
    header->addWidget(m_swapButton);
    header->addWidget(m_targetPicker);
    header->addStretch(1);
    header->addWidget(m_servicePicker);
    root->addLayout(header);
    connect(m_sourcePicker, &MenuPicker::valueChosen, this, &TranslationPopoverView::chooseSourceLanguage);
    connect(m_targetPicker, &MenuPicker::valueChosen, this, &TranslationPopoverView::chooseTargetLanguage);
    connect(m_servicePicker, &MenuPicker::valueChosen, this,
            [this](const QString& raw) { chooseService(translationServiceOrDefault(raw)); });
    connect(m_swapButton, &QAbstractButton::clicked, this, &TranslationPopoverView::swapLanguages);

    root->addWidget(new Divider(this));

    const auto caption = [this](const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("caption"));
        label->setFont(systemFont(captionPixelSize));
        return label;
    };
    const auto listenButton = [this] {
        auto* button = new SymbolButton(
            QStringLiteral("speaker.wave.2.fill"), 14, [] { return Color::labelColor(); }, QSize(28, 28),
            this);
        return button;
    };
    const auto copyButton = [this](const QString& toolTip) {
        auto* button = new SymbolButton(
            QStringLiteral("doc.on.doc"), 12, [] { return Color::primary(); }, QSize(20, 28), this);
        button->setToolTip(toolTip);
        return button;
    };

    // 3. Source header.
    auto* sourceHeader = new QHBoxLayout;
    sourceHeader->addWidget(caption(QStringLiteral("Source Text")));
    sourceHeader->addStretch(1);
    m_sourceListen = listenButton();
    m_sourceCopy = copyButton(QStringLiteral("Kaynak metni kopyala"));
    sourceHeader->addWidget(m_sourceListen);
    sourceHeader->addWidget(m_sourceCopy);
    root->addLayout(sourceHeader);
    connect(m_sourceListen, &QAbstractButton::clicked, this, &TranslationPopoverView::toggleSourceSpeech);
    connect(m_sourceCopy, &QAbstractButton::clicked, this, &TranslationPopoverView::copySourceText);

    // 4. The source text on one line, and "Show all".
    auto* sourceBox = new QHBoxLayout;
    sourceBox->setContentsMargins(4, 8, 4, 8);
    m_sourceLine = new ElidedLabel(this);
    m_sourceLine->setFont(systemFont(bodyPixelSize));
    m_sourceLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_showAllButton = new TextButton(
        QStringLiteral("Show all"), [] { return Color::secondaryLabelColor(); }, this);
    m_showAllButton->setFont(systemFont(captionPixelSize));
    sourceBox->addWidget(m_sourceLine, 1);
    sourceBox->addWidget(m_showAllButton);
    root->addLayout(sourceBox);
    connect(m_showAllButton, &QAbstractButton::clicked, this, &TranslationPopoverView::toggleFullSourceText);
    connect(m_showAllButton, &TextButton::hoverChanged, this, &TranslationPopoverView::handleShowAllHover);

    root->addWidget(new Divider(this));

    // 6. Translation header.
    auto* translationHeader = new QHBoxLayout;
    translationHeader->addWidget(caption(QStringLiteral("Translation")));
    translationHeader->addStretch(1);
    m_translationListen = listenButton();
    m_translationCopy = copyButton(QStringLiteral("Çeviriyi kopyala"));
    translationHeader->addWidget(m_translationListen);
    translationHeader->addWidget(m_translationCopy);
    root->addLayout(translationHeader);
    connect(m_translationListen, &QAbstractButton::clicked, this,
            &TranslationPopoverView::toggleTranslationSpeech);
    connect(m_translationCopy, &QAbstractButton::clicked, this, &TranslationPopoverView::copyTranslation);

    // 7. Result area: one of the three is shown.
    m_loadingArea = new QWidget(this);
    m_loadingArea->setFixedHeight(100);
    auto* loading = new QHBoxLayout(m_loadingArea);
    loading->setContentsMargins(0, 0, 0, 0);
    m_spinner = new ProgressSpinner(16, m_loadingArea);
    loading->addStretch(1);
    loading->addWidget(m_spinner);
    loading->addStretch(1);
    root->addWidget(m_loadingArea);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setAlignment(Qt::AlignCenter);
    m_errorLabel->setMargin(16);
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setFont(systemFont(bodyPixelSize));
    root->addWidget(m_errorLabel);

    m_editor = new QPlainTextEdit(this);
    m_editor->setReadOnly(true);
    // Selectable by the mouse only: keyboard selection would draw a caret in a text nobody can edit.
    // Select-all and copy keys still work.
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(systemFont(editorPixelSize));
    m_editor->setBackgroundVisible(false);
    m_editor->viewport()->setAutoFillBackground(false);
    {
        QPalette palette = m_editor->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        m_editor->setPalette(palette);
    }
    m_editor->installEventFilter(this);
    root->addWidget(m_editor);

    // 8. The rest.
    root->addSpacerItem(new QSpacerItem(0, 2, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

QWidget* TranslationPopoverView::resultArea() const {
    if (isLoading())
        return m_loadingArea;
    if (m_error)
        return m_errorLabel;
    return m_editor;
}

int TranslationPopoverView::characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

int TranslationPopoverView::lineBreakCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype start = 0;
    qsizetype end;
    while ((end = finder.toNextBoundary()) > 0) {
        if (end - start == 1 && text.at(start) == QLatin1Char('\n'))
            ++count;
        start = end;
    }
    return count;
}

qreal TranslationPopoverView::estimatedTextHeight(const QString& text) {
    if (text.isEmpty())
        return 80;
    const int characters = characterCount(text);
    const int lines = std::max(1, (characters + 64) / 65) + lineBreakCount(text);
    return 22.0 * lines;
}

int TranslationPopoverView::laidOutTextHeight(const QString& text) const {
    // Line by line as the editor's document lays out its blocks across the popover's width; it shows them
    // without a scroll bar in its height less a margin below them.
    QTextDocument document;
    document.setPlainText(text);
    const qreal margin = m_editor->document()->documentMargin();
    const qreal width = viewWidth - 2 * sideMargin - 2 * margin;
    int height = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), m_editor->font());
        layout.setTextOption(m_editor->document()->defaultTextOption());
        qreal blockHeight = block.next().isValid() ? 0 : margin;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
            blockHeight += line.height();
            if (line.leading() < 0)
                blockHeight += std::ceil(line.leading());
        }
        layout.endLayout();
        height += int(blockHeight);
    }
    return int(std::ceil(height + margin)) + 1;
}

qreal TranslationPopoverView::editorHeight() const {
    // Never shorter than the text laid out: the estimate's 65 characters a line are more than a line of
    // this font holds.
    const QString translation = translatedText();
    const qreal estimate = estimatedTextHeight(translation);
    return std::clamp(translation.isEmpty() ? estimate : std::max<qreal>(estimate, m_textHeight), 80.0,
                      qreal(maximumEditorHeight));
}

void TranslationPopoverView::updatePopoverHeight() {
    const QString translation = translatedText();
    if (translation.isEmpty() || characterCount(translation) <= 19) {
        setPopoverHeight(320);
        return;
    }
    setPopoverHeight(std::min(editorHeight(), 180.0) + 240);
}

void TranslationPopoverView::setPopoverHeight(qreal height) {
    if (height == m_popoverHeight)
        return;
    m_popoverHeight = height;
    setFixedSize(viewWidth, int(std::lround(height)));
    Q_EMIT popoverHeightChanged(height);
}

void TranslationPopoverView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        handleAppear();
}

void TranslationPopoverView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The full-text popover is a window of its own and would otherwise stay behind; a pending rest on
    // "Show all" must not bring it back.
    if (!event->spontaneous()) {
        m_isHoveringShowMore = false;
        setShowingFullSourceText(false);
    }
}

void TranslationPopoverView::handleAppear() {
    m_session.setText(m_text);
    startTranslation();
}

void TranslationPopoverView::startTranslation() {
    m_error.reset();
    setTextEditorFocused(false);
    m_session.translate();
    refresh();
}

void TranslationPopoverView::applyAnswer(const TranslationSession::Translation& sent,
                                         const TranslationSession::Outcome& outcome) {
    if (!outcome) {
        // The translation before stays, to be copied.
        m_error = errorPrefix + outcome.error().localizedDescription();
        debugLog(tag, QStringLiteral("❌ %1").arg(*m_error));
        refresh();
        return;
    }
    TranslationSession::Translation shown = sent;
    shown.translatedText = outcome.value().translation;
    m_session.showOutput(shown);
    m_detectedSourceLanguage.clear();
    if (sent.sourceLanguage == Language::automaticCode) {
        const QString detected = LanguageDetectionService::detectLanguage(sent.sourceText);
        if (detected != Language::automaticCode && Language::find(detected).code == detected)
            m_detectedSourceLanguage = detected;
    }
    refresh();
    updatePopoverHeight();
    scheduleEditorFocus();
}

void TranslationPopoverView::handleEditorAppear() {
    updatePopoverHeight();
    scheduleEditorFocus();
}

// Focus follows a moment later, and only if the same result is still on screen.
void TranslationPopoverView::scheduleEditorFocus() {
    const quint64 generation = m_session.generation();
    QPointer<TranslationPopoverView> self(this);
    MainQueue::asyncAfter(
        focusDelayMs,
        [self, generation] {
            if (self && self->m_session.generation() == generation && !self->isLoading())
                self->setTextEditorFocused(true);
        },
        this);
}

void TranslationPopoverView::setTextEditorFocused(bool focused) {
    if (focused == m_isTextEditorFocused)
        return;
    m_isTextEditorFocused = focused;
    if (focused)
        m_editor->setFocus(Qt::OtherFocusReason);
    else if (m_editor->hasFocus())
        m_editor->clearFocus();
    Q_EMIT stateChanged();
}

QString TranslationPopoverView::swapTargetLanguage() const {
    // The pair the translation on screen was made with: the pickers may have moved on to a request still
    // loading or one that failed.
    const QString source = m_session.output().sourceLanguage;
    if (source != Language::automaticCode)
        return source;
    return m_detectedSourceLanguage;
}

bool TranslationPopoverView::canSwapLanguages() const {
    return !translatedText().isEmpty() && !swapTargetLanguage().isEmpty();
}

void TranslationPopoverView::swapLanguages() {
    // Without a translation the swap would empty the source and translate nothing; with the source on
    // "Automatic" and no recognised language it would ask for a translation into "auto".
    if (!canSwapLanguages())
        return;
    const QString newTarget = swapTargetLanguage();
    // The translation becomes the text in the language it was made into, whatever the target picker
    // shows now. The pickers follow in refresh() without starting requests of their own: the swap makes
    // one, and the one still running is dropped.
    m_session.setTargetLanguage(m_session.output().targetLanguage);
    m_session.swapLanguages(newTarget);
    startTranslation();
}

void TranslationPopoverView::chooseSourceLanguage(const QString& code) {
    if (m_session.setSourceLanguage(code))
        startTranslation();
}

void TranslationPopoverView::chooseTargetLanguage(const QString& code) {
    if (m_session.setTargetLanguage(code))
        startTranslation();
}

void TranslationPopoverView::chooseService(TranslationService service) {
    if (m_session.setService(service))
        startTranslation();
}

void TranslationPopoverView::toggleTranslationSpeech() {
    m_session.toggleOutputSpeech(this);
}

void TranslationPopoverView::toggleSourceSpeech() {
    m_session.toggleTextSpeech(m_session.sourceLanguage(), this);
}

void TranslationPopoverView::copyTranslation() {
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.clearContents();
    pasteboard.setString(translatedText());
}

void TranslationPopoverView::copySourceText() {
    Pasteboard& pasteboard = platform().pasteboard();
    pasteboard.clearContents();
    pasteboard.setString(currentSourceText());
}

void TranslationPopoverView::toggleFullSourceText() {
    setShowingFullSourceText(!m_isShowingFullSourceText);
}

void TranslationPopoverView::handleShowAllHover(bool hovering) {
    m_isHoveringShowMore = hovering;
    if (!hovering)
        return;
    QPointer<TranslationPopoverView> self(this);
    MainQueue::asyncAfter(
        showAllHoverDelayMs,
        [self] {
            if (self && self->m_isHoveringShowMore)
                self->setShowingFullSourceText(true);
        },
        this);
}

void TranslationPopoverView::handleFullTextHover(bool hovering) {
    if (hovering)
        return;
    QPointer<TranslationPopoverView> self(this);
    MainQueue::asyncAfter(
        fullTextLeaveDelayMs,
        [self] {
            if (self)
                self->setShowingFullSourceText(false);
        },
        this);
}

void TranslationPopoverView::setShowingFullSourceText(bool showing) {
    if (showing == m_isShowingFullSourceText)
        return;
    m_isShowingFullSourceText = showing;
    if (showing) {
        if (!m_fullTextPopover) {
            m_fullTextPopover =
                new PopoverWindow(PopoverWindow::StaysOnTop | PopoverWindow::DoesNotAcceptFocus, this);
            m_fullTextPopover->setBehavior(PopoverWindow::Behavior::Transient);
            m_fullTextPopover->setAnchorWidget(m_showAllButton);
            auto* scroll = new QScrollArea;
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidgetResizable(true);
            scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            scroll->viewport()->setAutoFillBackground(false);
            m_fullTextLabel = new QLabel;
            m_fullTextLabel->setWordWrap(true);
            m_fullTextLabel->setTextFormat(Qt::PlainText);
            m_fullTextLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            m_fullTextLabel->setMargin(16);
            m_fullTextLabel->setFont(systemFont(bodyPixelSize));
            m_fullTextLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
            m_fullTextLabel->setAutoFillBackground(false);
            setTextColor(m_fullTextLabel, Theme::primaryText());
            scroll->setWidget(m_fullTextLabel);
            scroll->installEventFilter(this);
            m_fullTextPopover->setContentWidget(scroll);
            m_fullTextPopover->setContentSize(fullTextSize);
            connect(m_fullTextPopover, &PopoverWindow::closed, this,
                    [this] { setShowingFullSourceText(false); });
        }
        m_fullTextLabel->setText(currentSourceText());
        // Above the button, below it where there is no room above.
        m_fullTextPopover->showRelativeTo(
            QRect(m_showAllButton->mapToGlobal(QPoint(0, 0)), m_showAllButton->size()), PopoverWindow::Edge::Top);
    } else if (m_fullTextPopover && m_fullTextPopover->isShown()) {
        m_fullTextPopover->performClose();
    }
    Q_EMIT stateChanged();
}

bool TranslationPopoverView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::Show && !event->spontaneous())
        handleEditorAppear();
    if (m_fullTextPopover && watched == m_fullTextPopover->contentWidget()) {
        if (event->type() == QEvent::Enter)
            handleFullTextHover(true);
        else if (event->type() == QEvent::Leave)
            handleFullTextHover(false);
    }
    return QWidget::eventFilter(watched, event);
}

void TranslationPopoverView::refreshSpeechButtons() {
    const TextToSpeechService& tts = TextToSpeechService::shared();
    const auto apply = [&tts](SymbolButton* button, TTSSource source, const QString& listenTip) {
        const bool playing = tts.isPlaying(source);
        button->setSymbol(playing ? QStringLiteral("stop.fill") : QStringLiteral("speaker.wave.2.fill"));
        button->setToolTip(playing ? QStringLiteral("Stop speaking") : listenTip);
    };
    apply(m_sourceListen, TTSSource::Input, QStringLiteral("Listen to source text"));
    apply(m_translationListen, TTSSource::Output, QStringLiteral("Listen to translation"));
}

void TranslationPopoverView::refresh() {
    const QString translation = translatedText();
    m_sourceLine->setFullText(currentSourceText());
    m_sourcePicker->setValue(m_session.sourceLanguage());
    m_targetPicker->setValue(m_session.targetLanguage());
    m_servicePicker->setValue(rawValue(m_session.service()));

    QWidget* shown = resultArea();
    for (QWidget* area :
         {m_loadingArea, static_cast<QWidget*>(m_errorLabel), static_cast<QWidget*>(m_editor)}) {
        if (area != shown)
            area->hide();
    }
    m_errorLabel->setText(m_error.value_or(QString()));
    if (m_editor->toPlainText() != translation) {
        m_textHeight = laidOutTextHeight(translation);
        // A text that fits has no scroll bar: shown for the text before, or while the editor has not yet
        // grown, it would narrow the lines, which then would not fit.
        m_editor->setVerticalScrollBarPolicy(m_textHeight <= maximumEditorHeight ? Qt::ScrollBarAlwaysOff
                                                                                  : Qt::ScrollBarAsNeeded);
        // The spacing goes in with the text, so a long answer is laid out once, not twice.
        m_editor->clear();
        QTextCursor cursor(m_editor->document());
        QTextBlockFormat format;
        format.setLineHeight(editorLineSpacing, QTextBlockFormat::LineDistanceHeight);
        cursor.setBlockFormat(format);
        cursor.insertText(translation);
        m_editor->moveCursor(QTextCursor::Start);
    }
    m_editor->setFixedHeight(int(editorHeight()));
    shown->show();

    m_translationListen->setVisible(!isLoading() && !translation.isEmpty());
    m_translationCopy->setEnabled(!translation.isEmpty());
    m_swapButton->setEnabled(canSwapLanguages());
    refreshSpeechButtons();
    Q_EMIT stateChanged();
}
