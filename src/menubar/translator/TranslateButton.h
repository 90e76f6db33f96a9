#pragma once

#include <QAbstractButton>
#include <functional>

class ProgressSpinner;

// The blue "Translate" button. While a translation runs it shows a spinner and "Translating...". A
// press does nothing while translating or with an empty input; otherwise it runs the action, then
// announces the trigger source "menu".
class TranslateButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int spacing = 8;

    explicit TranslateButton(std::function<void()> action, QWidget* parent = nullptr);

    void setState(bool isTranslating, bool inputIsEmpty);
    bool isTranslating() const { return m_isTranslating; }
    bool inputIsEmpty() const { return m_inputIsEmpty; }

    void press();

    QSize sizeHint() const override;
    ProgressSpinner* spinner() const { return m_spinner; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    int contentWidth() const;

    std::function<void()> m_action;
    bool m_isTranslating = false;
    bool m_inputIsEmpty = true;
    ProgressSpinner* m_spinner = nullptr;
};
