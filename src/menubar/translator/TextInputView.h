#pragma once

#include <QWidget>
#include <functional>

class Backdrop;
class QAbstractButton;
class QLabel;
class QTextEdit;
class SymbolButton;

// The input card of the translator: a multi-line editor with a placeholder, a clear button, an OCR
// button and a listen/stop button. It asks for work by notification: Return posts "StartTranslation",
// the OCR button "StartOCRCapture". Shift+Return and the keypad's Enter start a new line.
class TextInputView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumEditorHeight = 100;
    static constexpr int maximumEditorHeight = 250;
    static constexpr int barHeight = 50;

    // `setCapturingScreen` is the owner's flag setter; this view only ever sets it to true.
    explicit TextInputView(std::function<void(bool)> setCapturingScreen, QWidget* parent = nullptr);

    QString text() const;
    // Replaces the text without posting anything; the cursor goes to the end.
    void setText(const QString& text);

    bool isEditorFocused() const;
    void focusEditor();

    // Return: "StartTranslation" {"trigger_source": "menu"} when the text is not empty.
    void submit();
    void startOCR();
    void toggleSpeech();

    QTextEdit* editor() const { return m_editor; }
    QLabel* placeholder() const { return m_placeholder; }
    SymbolButton* clearButton() const { return m_clearButton; }
    QAbstractButton* ocrButton() const { return m_ocrButton; }
    SymbolButton* listenButton() const { return m_listenButton; }

Q_SIGNALS:
    void textChanged(const QString& text);
    void focusChanged(bool focused);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void updateEditorHeight();
    void layoutOverlays();

    std::function<void(bool)> m_setCapturingScreen;
    QTextEdit* m_editor = nullptr;
    Backdrop* m_backdrop = nullptr;
    QLabel* m_placeholder = nullptr;
    SymbolButton* m_clearButton = nullptr;
    QAbstractButton* m_ocrButton = nullptr;
    SymbolButton* m_listenButton = nullptr;
    bool m_settingText = false;
    bool m_focused = false;
};
