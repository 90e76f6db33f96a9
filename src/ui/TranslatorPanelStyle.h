#pragma once

#include <QObject>

class QWidget;
class VisualEffectView;

// Frames the translator panel: 16 of padding on every edge, the sidebar material behind it, rounded
// corners and a hairline border drawn over the material. No shadow.
class TranslatorPanelStyle : public QObject {
    Q_OBJECT
public:
    static constexpr int panelPadding = 16;

    static void apply(QWidget* panel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TranslatorPanelStyle(QWidget* panel);
    void layoutDecorations();

    QWidget* m_panel;
    VisualEffectView* m_background;
    QWidget* m_border;
};

// Applies TranslatorPanelStyle and returns the same widget.
QWidget* translatorPanelStyle(QWidget* panel);
