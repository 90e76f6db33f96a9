#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class ToggleSwitch;

// A switch with a title and a description line, bound to a Bool user default. The change action follows
// the stored value, not the click: a change of the key made elsewhere while the row exists (a reset,
// say) runs it as well. A change the action itself makes to the key (a platform step that failed and
// stored the real state) is shown but does not run the action again.
class ToggleSettingView : public QWidget {
    Q_OBJECT
public:
    using OnChange = std::function<void(bool)>;

    ToggleSettingView(const QString& title, const QString& description, const QString& key, bool defaultValue,
                      OnChange onChange = {}, QWidget* parent = nullptr);

    // The stored Bool, or `defaultValue` while the key holds nothing.
    static bool storedValue(const QString& key, bool defaultValue);

    bool isOn() const { return m_value; }
    QString key() const { return m_key; }
    ToggleSwitch* toggle() const { return m_switch; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* descriptionLabel() const { return m_description; }

private:
    void sync();

    QString m_key;
    bool m_default;
    bool m_value;
    OnChange m_onChange;
    bool m_inChangeAction = false;
    ToggleSwitch* m_switch;
    QLabel* m_title;
    QLabel* m_description;
};
