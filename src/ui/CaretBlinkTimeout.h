#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <optional>

class QWidget;

// Stops a text field's caret blinking after a while without input, as desktops do
// (gtk-cursor-blink-timeout): the caret then stays visible, steady, and blinks again at the next key,
// click or focus. An open field that nobody types in then wakes the application for nothing.
//
// Blinking is the application's cursor flash time, so the field's caret stops by setting it to zero
// while the field has the focus; it is restored as soon as there is input or the focus moves on.
class CaretBlinkTimeout : public QObject {
public:
    // With no timeout given, the desktop's (read off the UI thread; 10 s until it is known).
    explicit CaretBlinkTimeout(QWidget* field, std::optional<std::chrono::milliseconds> timeout = {});
    ~CaretBlinkTimeout() override;

    bool isSteady() const { return m_steady; }

    // gtk-cursor-blink-timeout from GTK's settings.ini files (user's first), in seconds; none when unset.
    static std::optional<int> desktopTimeoutSeconds();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(std::optional<int> seconds);
    void restart();
    void stopBlinking();
    void resumeBlinking();

    QPointer<QWidget> m_field;
    QTimer m_timer;
    bool m_stops = true;
    bool m_steady = false;
    int m_flashTime = 0;
};
