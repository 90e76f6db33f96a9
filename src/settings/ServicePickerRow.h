#pragma once

#include <QMargins>
#include <QString>
#include <QWidget>

class MenuPicker;

// A title with a picker of the translation services beside it, bound to a String user default: a choice
// is stored, and a change of the key made elsewhere shows at once. Google is chosen while the key holds
// nothing; a stored value no row carries selects none.
class ServicePickerRow : public QWidget {
public:
    ServicePickerRow(const QString& title, const QString& key, QMargins margins, QWidget* parent = nullptr);

    MenuPicker* picker() const { return m_picker; }

private:
    MenuPicker* m_picker;
};
