#include "floatingbar/FloatingBarView.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "services/LanguagePreferences.h"
#include "ui/Color.h"
#include "ui/Compositor.h"
#include "ui/HoverButton.h"
#include "ui/PopoverWindow.h"
#include "ui/RoundedBox.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"
#include "ui/VisualEffectView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QRect barArea(5, 9, 100, 42);
constexpr int optionsMenuWidth = 320;

} // namespace

FloatingBarView::FloatingBarView(const QString& detectedLanguage, const QString& selectedText,
                                 TranslateHandler onTranslate, bool isHovering, bool showingOptions,
                                 bool isInEditableField, std::function<void()> onClose,
                                 std::function<void()> onDisableForApp, HoverHandler onHoverChanged,
                                 QWidget* parent)
    : QWidget(parent)
    , m_detectedLanguage(detectedLanguage)
    , m_selectedText(selectedText)
    , m_onTranslate(std::move(onTranslate))
    , m_isHovering(isHovering)
    , m_showingOptions(showingOptions)
    , m_isInEditableField(isInEditableField)
    , m_onClose(std::move(onClose))
    , m_onDisableForApp(std::move(onDisableForApp))
    , m_onHoverChanged(std::move(onHoverChanged)) {
    setFixedSize(barWidth, barHeight);
    setAttribute(Qt::WA_Hover);
    m_composited = Compositor::isRunning();

    m_translateButton = new SymbolButton(
        QStringLiteral("translate"), 17, [] { return QColor(Qt::white); }, QSize(60, 32), this);
    m_translateButton->move(barArea.left() + 5, barArea.top() + 5);
    m_translateButton->setCursor(Qt::PointingHandCursor);
    connect(m_translateButton, &QAbstractButton::clicked, this, &FloatingBarView::translate);

    m_optionsButton = new SymbolButton(
        QStringLiteral("ellipsis"), 14, [] { return Theme::secondaryText(); }, QSize(28, 32), this);
    m_optionsButton->move(barArea.right() - 28 - 3, barArea.top() + 5);
    connect(m_optionsButton, &QAbstractButton::clicked, this,
            [this] { setShowingOptions(!m_showingOptions); });

    Theme::followAppearance(this, [this] { update(); });
}

FloatingBarView::~FloatingBarView() {
    // The menu is a window of its own; it must not outlive the bar on screen.
    delete m_optionsMenu;
}

QRect FloatingBarView::barRect() const {
    return barArea;
}

QString FloatingBarView::chooseTargetLanguage(const QString& detectedLanguage) {
    // Mapped before comparing: a stored "auto" or unknown target stands for English, and English text
    // must then go to the source language rather than to English again.
    return LanguagePreferences::targetFor(detectedLanguage, LanguagePreferences::targetCode(),
                                          LanguagePreferences::ThroughTable);
}

void FloatingBarView::translate() {
    const QString target = chooseTargetLanguage(m_detectedLanguage);
    if (m_onTranslate)
        m_onTranslate(target);
    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource,
                                      {{NotificationKeys::triggerSource, QStringLiteral("floating_bar")}});
}

void FloatingBarView::buildOptionsMenu() {
    m_optionsMenu = new PopoverWindow(PopoverWindow::StaysOnTop | PopoverWindow::DoesNotAcceptFocus, this);
    m_optionsMenu->setBehavior(PopoverWindow::Behavior::Transient);
    m_optionsMenu->setAnchorWidget(m_optionsButton);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    layout->addWidget(new HoverButton(QStringLiteral("Close"), QStringLiteral("xmark.circle"), [this] {
        setShowingOptions(false);
        if (m_onClose)
            m_onClose();
    }));
    layout->addWidget(new HoverButton(QStringLiteral("Disable floating bar for this application"),
                                      QStringLiteral("eye.slash"), [this] {
                                          setShowingOptions(false);
                                          if (m_onDisableForApp)
                                              m_onDisableForApp();
                                      }));
    m_optionsMenu->setContentWidget(content);
    m_optionsMenu->setContentSize(QSize(optionsMenuWidth, content->sizeHint().height()));
    connect(m_optionsMenu, &PopoverWindow::closed, this, [this] {
        if (m_showingOptions) {
            m_showingOptions = false;
            if (m_onHoverChanged)
                m_onHoverChanged(m_isHovering, m_showingOptions);
        }
    });
}

FloatingBarView::MenuPlacement FloatingBarView::optionsMenuPlacement(const QRect& button, const QSize& menuSize,
                                                                     const QRect& selectionLine,
                                                                     const QRect& screen) {
    using Edge = PopoverWindow::Edge;
    // The menu hangs from the button and the stretch of the line beside it together, so whichever side
    // it opens on it clears both.
    const QRect line = selectionLine.isEmpty()
                           ? QRect()
                           : QRect(button.left(), selectionLine.top(), button.width(), selectionLine.height());
    const QRect anchor = button.united(line);
    for (const Edge edge : {Edge::Top, Edge::Bottom}) {
        const PopoverWindow::Placement placement = PopoverWindow::place(menuSize, anchor, screen, edge, true);
        if (placement.edge == edge && !placement.scrolls && !placement.frame.intersects(selectionLine))
            return {anchor, edge};
    }
    return {button, Edge::Top};
}

void FloatingBarView::setSelection(const QString& detectedLanguage, const QString& selectedText,
                                   bool isInEditableField) {
    m_detectedLanguage = detectedLanguage;
    m_selectedText = selectedText;
    m_isInEditableField = isInEditableField;
    m_isHovering = false;
    if (m_showingOptions) {
        m_showingOptions = false;
        if (m_optionsMenu && m_optionsMenu->isShown()) {
            const QSignalBlocker blocker(m_optionsMenu);
            m_optionsMenu->performClose();
        }
    }
    m_composited = Compositor::isRunning();
    update();
}

void FloatingBarView::setShowingOptions(bool showing) {
    if (showing == m_showingOptions)
        return;
    m_showingOptions = showing;
    if (showing) {
        if (!m_optionsMenu)
            buildOptionsMenu();
        const QRect anchor(m_optionsButton->mapToGlobal(QPoint(0, 0)), m_optionsButton->size());
        const QScreen* screen = m_optionsButton->screen();
        const MenuPlacement placement = optionsMenuPlacement(
            anchor, m_optionsMenu->contentSize(), m_selectionLine, screen ? screen->availableGeometry() : QRect());
        m_optionsMenu->showRelativeTo(placement.anchor, placement.edge);
    } else if (m_optionsMenu && m_optionsMenu->isShown()) {
        const QSignalBlocker blocker(m_optionsMenu);
        m_optionsMenu->performClose();
    }
    if (m_onHoverChanged)
        m_onHoverChanged(m_isHovering, m_showingOptions);
}

void FloatingBarView::setHovering(bool hovering) {
    if (hovering == m_isHovering)
        return;
    m_isHovering = hovering;
    update();
    if (m_onHoverChanged)
        m_onHoverChanged(m_isHovering, m_showingOptions);
}

void FloatingBarView::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QWidget::enterEvent(event);
}

void FloatingBarView::leaveEvent(QEvent* event) {
    setHovering(false);
    QWidget::leaveEvent(event);
}

void FloatingBarView::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        setShowingOptions(false);
    QWidget::hideEvent(event);
}

void FloatingBarView::mouseReleaseEvent(QMouseEvent* event) {
    // A click anywhere on the bar besides its buttons translates as well.
    if (event->button() == Qt::LeftButton && barArea.contains(event->position().toPoint()))
        translate();
    QWidget::mouseReleaseEvent(event);
}

void FloatingBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bar = QRectF(barArea).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_composited) {
        // A soft shadow below the bar, drawn as fading outlines.
        for (int i = 1; i <= 5; ++i)
            paintRoundedBox(painter, bar.adjusted(-i, -i + 2, i, i + 2), cornerRadius + i,
                            QColor(0, 0, 0, 10 - i * 2 + 2));
    }
    paintRoundedBox(painter, bar, cornerRadius,
                    VisualEffectView::fillColor(VisualEffectView::Material::Popover, m_composited),
                    QPen(Theme::dark() ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 40), 1.0));

    // The translate button's face: the accent colour, a little lighter while the pointer is on the bar.
    QColor accent = Theme::accent();
    if (m_isHovering)
        accent = accent.lighter(110);
    paintRoundedBox(painter, QRectF(m_translateButton->geometry()), 8, accent);

    // A hairline between the two buttons.
    const int x = m_optionsButton->geometry().left() - 3;
    painter.setPen(QPen(Theme::border(), 1.0));
    painter.drawLine(QPointF(x + 0.5, barArea.top() + 10), QPointF(x + 0.5, barArea.bottom() - 9));
}
