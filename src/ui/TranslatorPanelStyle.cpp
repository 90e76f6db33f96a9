#include "ui/TranslatorPanelStyle.h"

#include "ui/RoundedBox.h"
#include "ui/Theme.h"
#include "ui/VisualEffectView.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QWidget>
#include <cmath>

namespace {

// The border sits above the panel's children so the material never covers it.
class PanelBorder : public QWidget {
public:
    explicit PanelBorder(QWidget* parent)
        : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    // Masked to the band its line runs along. Lying over the whole panel, it would otherwise take part in
    // every repaint inside it, and keep a text area that repaints on its own from doing so alone.
    void resizeEvent(QResizeEvent*) override {
        const int edge = 2;
        const int corner = int(std::ceil(Theme::cornerRadius)) + edge;
        setMask(QRegion(rect()) - QRegion(rect().adjusted(edge, corner, -edge, -corner)) -
                QRegion(rect().adjusted(corner, edge, -corner, -edge)));
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintRoundedBox(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), Theme::cornerRadius,
                        Qt::NoBrush,
                        QPen(Theme::border(), Theme::borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    }
};

} // namespace

TranslatorPanelStyle::TranslatorPanelStyle(QWidget* panel)
    : QObject(panel)
    , m_panel(panel)
    , m_background(new VisualEffectView(VisualEffectView::Material::Sidebar,
                                        VisualEffectView::BlendingMode::BehindWindow, panel))
    , m_border(new PanelBorder(panel)) {
    m_background->setCornerRadius(Theme::cornerRadius);
    m_background->lower();
    m_border->raise();
    Theme::followAppearance(m_border, [this] { m_border->update(); });
    layoutDecorations();
}

void TranslatorPanelStyle::apply(QWidget* panel) {
    if (!panel || panel->findChild<TranslatorPanelStyle*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    panel->setContentsMargins(panelPadding, panelPadding, panelPadding, panelPadding);
    if (panel->layout())
        panel->layout()->setContentsMargins(0, 0, 0, 0);
    panel->installEventFilter(new TranslatorPanelStyle(panel));
}

void TranslatorPanelStyle::layoutDecorations() {
    m_background->setGeometry(m_panel->rect());
    m_border->setGeometry(m_panel->rect());
}

bool TranslatorPanelStyle::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_panel) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            layoutDecorations();
            break;
        case QEvent::ChildAdded:
            // Children added later must still lie between the material and the border.
            m_background->lower();
            m_border->raise();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget* translatorPanelStyle(QWidget* panel) {
    TranslatorPanelStyle::apply(panel);
    return panel;
}
