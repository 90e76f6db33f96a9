#pragma once

#include "keyboardshortcuts/KeyboardShortcuts.h"

#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QMessageBox;

namespace KeyboardShortcuts {

class LocalEventMonitor;

// A field that shows the stored shortcut of one name and records a new one while it has the focus:
// press the combination to store it, Escape to keep the old one, Backspace or the clear button to clear.
// While it records, the library's hot keys are paused so pressing one records it.
class Recorder : public QLineEdit {
    Q_OBJECT
public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;

    explicit Recorder(const Name& name, OnChange onChange = {}, QWidget* parent = nullptr);
    ~Recorder() override;

    // A row of the title and a recorder, for forms whose recorders carry their own label.
    static QWidget* createLabeled(const QString& title, const Name& name, OnChange onChange = {},
                                  QWidget* parent = nullptr);

    const Name& shortcutName() const { return m_name; }
    void setShortcutName(const Name& name);
    bool isRecording() const { return m_recording; }
    // The stored shortcut does nothing: another application or the desktop holds it.
    bool isTakenElsewhere() const { return m_takenElsewhere; }

    // Ends recording by giving up the focus; focus() starts it again.
    void blur();
    void focus();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int minimumWidth = 130;

Q_SIGNALS:
    void takenElsewhereChanged(bool taken);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void followPlaceholderColor();
    void setStringValue();
    void updateClearButton();
    void startRecording();
    void endRecording();
    void clearShortcut();
    void accept(const Shortcut& shortcut);
    bool handleMonitoredEvent(QObject* receiver, QEvent* event);
    bool handleKey(QKeyEvent* event);
    // A warning with OK alone; recording resumes once it is answered.
    void showAlert(const QString& message, const QString& informative);

    Name m_name;
    OnChange m_onChange;
    QAction* m_clearAction = nullptr;
    bool m_recording = false;
    bool m_focusRequested = false;
    bool m_takenElsewhere = false;
    std::unique_ptr<LocalEventMonitor> m_eventMonitor;
    QPointer<QMessageBox> m_alert;
};

} // namespace KeyboardShortcuts
