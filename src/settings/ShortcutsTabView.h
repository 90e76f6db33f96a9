#pragma once

#include <QWidget>

class MenuPicker;

namespace KeyboardShortcuts {
class Recorder;
}

// The Shortcuts tab: a recorder for each of the four global hot keys, and the translation provider the
// shortcut actions use ("shortcutTranslationService").
class ShortcutsTabView : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutsTabView(QWidget* parent = nullptr);

    // The recorders in row order: toggleMenuBar, translateSelection, translateAndReplace, startOCR.
    QList<KeyboardShortcuts::Recorder*> recorders() const { return m_recorders; }
    MenuPicker* servicePicker() const { return m_servicePicker; }

    static constexpr int recorderWidth = 180;

private:
    QList<KeyboardShortcuts::Recorder*> m_recorders;
    MenuPicker* m_servicePicker = nullptr;
};
