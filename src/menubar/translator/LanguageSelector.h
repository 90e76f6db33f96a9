#pragma once

#include "menubar/translator/NotificationService.h"
#include "menubar/translator/PickerPopover.h"
#include "services/Language.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

class LanguagePickerView;
class QAbstractButton;
class SymbolButton;

// The "From" and "To" buttons with the swap button between them. A pick in a popover goes straight to
// the owner through the callbacks; the swap button only asks, by "SwapTranslation".
class LanguageSelector : public QWidget {
    Q_OBJECT
public:
    static constexpr int columnSpacing = 6;
    static constexpr int labelSpacing = 4;
    static constexpr QSize pickerSize{240, 400};

    LanguageSelector(std::function<void(const Language&)> setSource,
                     std::function<void(const Language&)> setTarget, QWidget* parent = nullptr);

    // What the buttons show; the owner calls this after each change of its pair.
    void setLanguages(const Language& source, const Language& target);

    void openSourcePicker();
    void openTargetPicker();
    void closePickers();
    void swapLanguages();

    // The target list never holds "Automatic".
    static QList<Language> targetLanguages();

    QAbstractButton* sourceButton() const { return m_sourceButton; }
    QAbstractButton* targetButton() const { return m_targetButton; }
    SymbolButton* swapButton() const { return m_swapButton; }
    // The open picker, if any.
    LanguagePickerView* sourcePicker() const;
    LanguagePickerView* targetPicker() const;
    PickerPopover* sourcePopover() const { return m_sourcePopover; }
    PickerPopover* targetPopover() const { return m_targetPopover; }

private:
    void openPicker(bool source);

    std::function<void(const Language&)> m_setSource;
    std::function<void(const Language&)> m_setTarget;
    Language m_source;
    Language m_target;
    NotificationService m_notificationService;
    QAbstractButton* m_sourceButton = nullptr;
    QAbstractButton* m_targetButton = nullptr;
    SymbolButton* m_swapButton = nullptr;
    QPointer<PickerPopover> m_sourcePopover;
    QPointer<PickerPopover> m_targetPopover;
    // A press on a button that closes its open popover must not open it again.
    QElapsedTimer m_sourceClosed;
    QElapsedTimer m_targetClosed;
};
