#pragma once

#include "services/TranslationService.h"

#include <QList>
#include <QWidget>
#include <functional>

class QAbstractButton;

// The list of providers in the service popover: Google, ChatGPT, Gemini, DeepL with their icons and a
// check mark on the chosen one. A click chooses the row and asks the owner to close the popover.
class ServicePickerView : public QWidget {
    Q_OBJECT
public:
    static constexpr int viewWidth = 160;

    ServicePickerView(TranslationService selected, std::function<void(TranslationService)> onSelect,
                      std::function<void()> onDismiss, QWidget* parent = nullptr);

    TranslationService selectedService() const { return m_selected; }
    void setSelectedService(TranslationService service);
    void choose(TranslationService service);

    QList<QAbstractButton*> rows() const { return m_rows; }

private:
    TranslationService m_selected;
    std::function<void(TranslationService)> m_onSelect;
    std::function<void()> m_onDismiss;
    QList<QAbstractButton*> m_rows;
};
