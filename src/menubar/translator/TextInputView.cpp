#include "menubar/translator/TextInputView.h"

#include "menubar/translator/TextCard.h"
#include "platform/AudioPlayer.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "services/LanguagePreferences.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"
#include "services/TranslationSession.h"
#include "ui/Backdrop.h"
#include "ui/CaretBlinkTimeout.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int editorSideInset = 8;
constexpr int editorTopInset = 12;
constexpr int placeholderInset = 12;
constexpr int clearInset = 8;

// The blue "OCR" button with its camera symbol.
class OcrButton : public QAbstractButton {
public:
    explicit OcrButton(QWidget* parent)
        : QAbstractButton(parent) {
        setText(QStringLiteral("OCR"));
        setFont(systemFont(13));
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::ArrowCursor);
        setFixedHeight(34);
        setToolTip(QStringLiteral("Capture text from screen (OCR)"));
    }

    QSize sizeHint() const override {
        return {12 + Symbol::pixelSize(14) + 6 + fontMetrics().horizontalAdvance(text()) + 12, 34};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintRoundedBox(painter, QRectF(rect()), Theme::cornerRadius,
                        Color::withOpacity(Color::accentColor(), underMouse() ? 0.9 : 1.0));
        const int side = Symbol::pixelSize(14);
        const QRect symbol(12, (height() - side) / 2, side, side);
        painter.drawPixmap(symbol, Symbol::pixmap(QStringLiteral("camera.viewfinder"), symbol.size(),
                                                  Qt::white, devicePixelRatioF()));
        painter.setPen(Qt::white);
        painter.drawText(QRect(symbol.right() + 1 + 6, 0, width(), height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

// A symbol whose colour answers the pointer: label colour while hovered, secondary otherwise.
Symbol::ColorProvider hoverColor(const QPointer<QWidget>& widget) {
    return
        [widget] { return widget && widget->underMouse() ? Theme::primaryText() : Theme::secondaryText(); };
}

// The listen/stop button: the symbol in a clear rounded square with a faint outline.
class ListenButton : public SymbolButton {
public:
    explicit ListenButton(QWidget* parent)
        : SymbolButton(QStringLiteral("speaker.wave.2.fill"), 14, {}, QSize(40, Symbol::pixelSize(14) + 20),
                       parent) {
        setColor(hoverColor(this));
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        paintRoundedBox(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), Theme::cornerRadius,
                        Qt::NoBrush, QPen(Color::withOpacity(Theme::secondaryText(), 0.3), 0.5));
        painter.end();
        SymbolButton::paintEvent(event);
    }
};

// The editor keeps a strip at its trailing edge free for the clear button. Its text area paints the card
// and placeholder beneath it from a snapshot, so a cursor blink or a keystroke repaints only its own few
// pixels.
class InputEditor : public QTextEdit {
public:
    explicit InputEditor(QWidget* parent)
        : QTextEdit(parent)
        , m_backdrop(new Backdrop(viewport())) {
        setViewportMargins(0, 0, Symbol::pixelSize(14) + clearGap, 0);
    }

    Backdrop* backdrop() const { return m_backdrop; }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(viewport());
            m_backdrop->paint(painter, event->region());
        }
        QTextEdit::paintEvent(event);
    }

private:
    static constexpr int clearGap = 4;
    Backdrop* m_backdrop;
};

} // namespace

TextInputView::TextInputView(std::function<void(bool)> setCapturingScreen, QWidget* parent)
    : QWidget(parent)
    , m_setCapturingScreen(std::move(setCapturingScreen)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* editor = new InputEditor(this);
    m_editor = editor;
    m_backdrop = editor->backdrop();
    m_editor->setAcceptRichText(false);
    m_editor->setFont(systemFont(16));
    m_editor->document()->setDocumentMargin(2);
    m_editor->setTabChangesFocus(true);
    m_editor->installEventFilter(this);
    new CaretBlinkTimeout(m_editor);
    auto* editorRow = new QHBoxLayout;
    editorRow->setContentsMargins(editorSideInset, editorTopInset, editorSideInset, 0);
    editorRow->addWidget(m_editor);
    column->addLayout(editorRow);

    // The bar keeps the editor clear of the buttons.
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 0, 8, 0);
    m_ocrButton = new OcrButton(this);
    bar->addWidget(m_ocrButton, 0, Qt::AlignVCenter);
    bar->addStretch(1);
    m_listenButton = new ListenButton(this);
    bar->addWidget(m_listenButton, 0, Qt::AlignVCenter);
    auto* barHolder = new QWidget(this);
    barHolder->setFixedHeight(barHeight);
    barHolder->setLayout(bar);
    column->addWidget(barHolder);

    m_placeholder = new QLabel(QStringLiteral("Enter or paste text to translate..."), this);
    m_placeholder->setFont(systemFont(14));
    // Under the editor, whose snapshot of the card holds it; the cursor never covers its letters.
    m_placeholder->stackUnder(m_editor);

    m_clearButton = new SymbolButton(QStringLiteral("xmark.circle.fill"), 14, {},
                                     QSize(Symbol::pixelSize(14), Symbol::pixelSize(14)), this);
    m_clearButton->setColor(hoverColor(m_clearButton));
    m_clearButton->setAttribute(Qt::WA_Hover);
    m_clearButton->setCursor(Qt::ArrowCursor);

    connect(m_editor, &QTextEdit::textChanged, this, [this] {
        refresh();
        if (!m_settingText)
            Q_EMIT textChanged(text());
    });
    connect(m_editor->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &TextInputView::updateEditorHeight);
    connect(m_editor->verticalScrollBar(), &QScrollBar::rangeChanged, this, &TextInputView::layoutOverlays);
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] { m_editor->clear(); });
    connect(m_ocrButton, &QAbstractButton::clicked, this, &TextInputView::startOCR);
    connect(m_listenButton, &QAbstractButton::clicked, this, &TextInputView::toggleSpeech);

    TextToSpeechService& tts = TextToSpeechService::shared();
    connect(&tts, &TextToSpeechService::isPlayingChanged, this, &TextInputView::refresh);
    connect(&tts, &TextToSpeechService::activeSourceChanged, this, &TextInputView::refresh);

    TextCard::style(this, m_editor, m_placeholder);
    m_editor->setFixedHeight(minimumEditorHeight);
    refresh();
}

QString TextInputView::text() const {
    return m_editor->toPlainText();
}

void TextInputView::setText(const QString& text) {
    if (text == this->text())
        return;
    m_settingText = true;
    m_editor->setPlainText(text);
    m_editor->moveCursor(QTextCursor::End);
    m_settingText = false;
}

bool TextInputView::isEditorFocused() const {
    return m_editor->hasFocus();
}

void TextInputView::focusEditor() {
    m_editor->setFocus(Qt::OtherFocusReason);
}

void TextInputView::submit() {
    if (text().isEmpty())
        return;
    NotificationCenter::shared().post(Notifications::StartTranslation,
                                      {{NotificationKeys::triggerSource, QStringLiteral("menu")}});
}

void TextInputView::startOCR() {
    if (m_setCapturingScreen)
        m_setCapturingScreen(true);
    NotificationCenter::shared().post(Notifications::StartOCRCapture);
}

void TextInputView::toggleSpeech() {
    // The stored source language, not the view's: read afresh on every click.
    TranslationSession::toggleSpeech(TTSSource::Input, text(), LanguagePreferences::source().code, this);
}

void TextInputView::refresh() {
    const bool empty = m_editor->document()->isEmpty();
    if (m_placeholder->isVisibleTo(this) != empty) {
        m_placeholder->setVisible(empty);
        m_backdrop->invalidate();
    }
    m_clearButton->setVisible(!empty);
    m_listenButton->setVisible(!empty);
    const bool playing = TextToSpeechService::shared().isPlaying(TTSSource::Input);
    m_listenButton->setSymbol(playing ? QStringLiteral("stop.fill") : QStringLiteral("speaker.wave.2.fill"));
    m_listenButton->setToolTip(playing ? QStringLiteral("Stop speaking") : QStringLiteral("Listen to text"));
}

void TextInputView::updateEditorHeight() {
    const int height = TextCard::textHeight(m_editor, minimumEditorHeight, maximumEditorHeight);
    if (height != m_editor->height())
        m_editor->setFixedHeight(height);
}

void TextInputView::layoutOverlays() {
    m_placeholder->adjustSize();
    m_placeholder->move(placeholderInset, placeholderInset);
    m_placeholder->setFixedWidth(width() - 2 * placeholderInset);
    // Beside the scroll bar of a long text, not over it.
    const QScrollBar* bar = m_editor->verticalScrollBar();
    const int barWidth = bar->isVisibleTo(this) ? bar->width() : 0;
    m_clearButton->move(width() - clearInset - barWidth - m_clearButton->width(), clearInset);
    m_clearButton->raise();
}

void TextInputView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void TextInputView::paintEvent(QPaintEvent*) {
    TextCard::paint(this);
}

bool TextInputView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // The keypad's Enter is left to the editor.
            if (key->key() != Qt::Key_Return)
                break;
            if (key->modifiers().testFlag(Qt::ShiftModifier)) {
                if (event->type() == QEvent::KeyPress) {
                    m_editor->textCursor().insertText(QStringLiteral("\n"));
                    m_editor->ensureCursorVisible();
                    return true;
                }
                break;
            }
            // Return submits and never inserts a line break.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                submit();
            return true;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            const bool focused = event->type() == QEvent::FocusIn;
            if (focused != m_focused) {
                m_focused = focused;
                Q_EMIT focusChanged(focused);
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
