#include "menubar/translator/TranslateButton.h"

#include "menubar/translator/PrimaryButtonStyle.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "ui/ProgressSpinner.h"
#include "ui/Symbol.h"

#include <QPainter>

namespace {

// The small spinner, scaled to 0.8.
constexpr int spinnerSide = 13;
constexpr qreal symbolPointSize = 16;

} // namespace

TranslateButton::TranslateButton(std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent)
    , m_action(std::move(action)) {
    setFocusPolicy(Qt::NoFocus);
    PrimaryButtonStyle::apply(this);
    m_spinner = new ProgressSpinner(spinnerSide, this);
    m_spinner->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_spinner->setColor(Qt::white);
    // Never marked disabled: it stays hoverable, and press() alone decides.
    connect(this, &QAbstractButton::clicked, this, &TranslateButton::press);
    refresh();
}

void TranslateButton::setState(bool isTranslating, bool inputIsEmpty) {
    if (isTranslating == m_isTranslating && inputIsEmpty == m_inputIsEmpty)
        return;
    m_isTranslating = isTranslating;
    m_inputIsEmpty = inputIsEmpty;
    refresh();
}

void TranslateButton::refresh() {
    setText(m_isTranslating ? QStringLiteral("Translating...") : QStringLiteral("Translate"));
    if (m_inputIsEmpty)
        setToolTip(QStringLiteral("Enter text to translate"));
    else if (m_isTranslating)
        setToolTip(QStringLiteral("Translation in progress..."));
    else
        setToolTip(QStringLiteral("Translate text"));
    m_spinner->setVisible(m_isTranslating);
    resizeEvent(nullptr);
    update();
}

void TranslateButton::press() {
    if (m_isTranslating || m_inputIsEmpty)
        return;
    if (m_action)
        m_action();
    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource,
                                      {{NotificationKeys::triggerSource, QStringLiteral("menu")}});
}

int TranslateButton::contentWidth() const {
    const int lead = m_isTranslating ? spinnerSide : Symbol::pixelSize(symbolPointSize);
    return lead + spacing + fontMetrics().horizontalAdvance(text());
}

QSize TranslateButton::sizeHint() const {
    return {contentWidth() + 24, 36};
}

void TranslateButton::resizeEvent(QResizeEvent* event) {
    if (event)
        QAbstractButton::resizeEvent(event);
    const int left = (width() - contentWidth()) / 2;
    m_spinner->move(left, (height() - spinnerSide) / 2);
}

void TranslateButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int x = (width() - contentWidth()) / 2;
    if (!m_isTranslating) {
        const int side = Symbol::pixelSize(symbolPointSize);
        const QRect symbol(x, (height() - side) / 2, side, side);
        painter.drawPixmap(symbol, Symbol::pixmap(QStringLiteral("arrow.right.circle.fill"), symbol.size(),
                                                  Qt::white, devicePixelRatioF()));
        x += side + spacing;
    } else {
        x += spinnerSide + spacing;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}
