#pragma once

#include "ui/PopoverWindow.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class HoverButton;
class SymbolButton;

// The floating bar's view: a small rounded bar with a translate button and an options button. The
// options menu offers "Close" and "Disable floating bar for this application". Clicking the bar or its
// translate button chooses the target language and asks for a translation.
class FloatingBarView : public QWidget {
    Q_OBJECT
public:
    using TranslateHandler = std::function<void(const QString& targetLanguage)>;
    using HoverHandler = std::function<void(bool isHovering, bool showingOptions)>;

    FloatingBarView(const QString& detectedLanguage, const QString& selectedText,
                    TranslateHandler onTranslate, bool isHovering, bool showingOptions,
                    bool isInEditableField, std::function<void()> onClose = {},
                    std::function<void()> onDisableForApp = {}, HoverHandler onHoverChanged = {},
                    QWidget* parent = nullptr);
    ~FloatingBarView() override;

    static constexpr int barWidth = 110;
    static constexpr int barHeight = 60;
    static constexpr qreal cornerRadius = 12;

    // The target of a translation of text in `detectedLanguage`: the stored target language, or, when
    // that is the detected one, the stored source language (English for "auto").
    static QString chooseTargetLanguage(const QString& detectedLanguage);

    QString detectedLanguage() const { return m_detectedLanguage; }
    QString selectedText() const { return m_selectedText; }
    bool isInEditableField() const { return m_isInEditableField; }
    bool isHovering() const { return m_isHovering; }
    bool isShowingOptions() const { return m_showingOptions; }
    // The visible bar inside the view; the rest is room for its shadow.
    QRect barRect() const;

    // The line of the selection, in global coordinates: the options menu opens where it does not cover it.
    void setSelectionLine(const QRect& line) { m_selectionLine = line; }
    // Where a menu of `menuSize` opens from the options button (`button`, global): above the bar, or
    // below the bar and the selected line where there is no room above; never on `selectionLine`.
    struct MenuPlacement {
        QRect anchor;
        PopoverWindow::Edge edge;
    };
    static MenuPlacement optionsMenuPlacement(const QRect& button, const QSize& menuSize,
                                              const QRect& selectionLine, const QRect& screen);

    // Takes the next selection, as a newly made view would have it: no hover, the options menu closed,
    // the compositor asked again.
    void setSelection(const QString& detectedLanguage, const QString& selectedText, bool isInEditableField);

    // The bar's actions, as its controls run them.
    void translate();
    void setShowingOptions(bool showing);

    SymbolButton* translateButton() const { return m_translateButton; }
    SymbolButton* optionsButton() const { return m_optionsButton; }
    PopoverWindow* optionsMenu() const { return m_optionsMenu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setHovering(bool hovering);
    void buildOptionsMenu();

    QString m_detectedLanguage;
    QString m_selectedText;
    TranslateHandler m_onTranslate;
    bool m_isHovering;
    bool m_showingOptions;
    bool m_isInEditableField;
    std::function<void()> m_onClose;
    std::function<void()> m_onDisableForApp;
    HoverHandler m_onHoverChanged;

    SymbolButton* m_translateButton;
    SymbolButton* m_optionsButton;
    QPointer<PopoverWindow> m_optionsMenu;
    QRect m_selectionLine;
    bool m_composited = true;
};
