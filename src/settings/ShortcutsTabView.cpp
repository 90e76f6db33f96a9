#include "settings/ShortcutsTabView.h"

#include "keyboardshortcuts/Recorder.h"
#include "settings/ServicePickerRow.h"
#include "settings/SettingsSectionView.h"
#include "settings/SettingsStyle.h"
#include "ui/Color.h"
#include "ui/StateReport.h"
#include "ui/Symbol.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QWidget* column(int spacing, const QList<QWidget*>& rows) {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* row : rows)
        layout->addWidget(row);
    return content;
}

QLabel* label(const QString& text, int size, QWidget* parent,
              Symbol::ColorProvider color = &Color::labelColor) {
    auto* result = new QLabel(text, parent);
    result->setFont(SettingsStyle::font(size));
    SettingsStyle::followTextColor(result, color);
    return result;
}

} // namespace

ShortcutsTabView::ShortcutsTabView(QWidget* parent)
    : QWidget(parent) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(SettingsStyle::sectionSpacing);

    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("Show/Hide MenuBar"), QStringLiteral("toggleMenuBar")},
        {QStringLiteral("Translate Selection"), QStringLiteral("translateSelection")},
        {QStringLiteral("Translate and Replace Selection"), QStringLiteral("translateAndReplace")},
        {QStringLiteral("Capture Screen (OCR)"), QStringLiteral("startOCR")},
    };
    QList<QWidget*> shortcutRows;
    for (const auto& [title, name] : rows) {
        auto* row = new QWidget;
        auto* layout = new QGridLayout(row);
        layout->setContentsMargins(0, 6, 0, 6);
        layout->setVerticalSpacing(2);
        layout->addWidget(label(title, 15, row), 0, 0);
        layout->setColumnStretch(1, 1);
        auto* recorder = new KeyboardShortcuts::Recorder(KeyboardShortcuts::Name(name), {}, row);
        recorder->setObjectName(name);
        recorder->setFixedWidth(recorderWidth);
        layout->addWidget(recorder, 0, 2);
        // A stored shortcut that another program holds stays stored: it must not pass for a working one.
        auto* taken = label(QStringLiteral("Used by another application"), 12, row, &Color::red);
        taken->setObjectName(name + QStringLiteral("Taken"));
        taken->setToolTip(recorder->toolTip());
        taken->setVisible(recorder->isTakenElsewhere());
        layout->addWidget(taken, 1, 2, Qt::AlignHCenter);
        connect(recorder, &KeyboardShortcuts::Recorder::takenElsewhereChanged, taken, [taken, recorder](bool on) {
            taken->setToolTip(recorder->toolTip());
            taken->setVisible(on);
        });
        m_recorders.append(recorder);
        StateReport::followPlace(recorder, name.toUtf8() + " recorder");
        shortcutRows.append(row);
    }
    root->addWidget(
        new SettingsSectionView(QStringLiteral("Global Shortcuts"), column(16, shortcutRows), this));

    auto* serviceRow = new ServicePickerRow(QStringLiteral("Translation Service"),
                                            QStringLiteral("shortcutTranslationService"), QMargins());
    m_servicePicker = serviceRow->picker();
    root->addWidget(new SettingsSectionView(QStringLiteral("Default Translation Model for Shortcuts"),
                                            column(16, {serviceRow}), this));

    auto* note = new QWidget;
    auto* noteLayout = new QHBoxLayout(note);
    noteLayout->setContentsMargins(0, 10, 0, 0);
    auto* icon = new QLabel(note);
    const int iconSize = 14;
    icon->setFixedSize(iconSize + 2, iconSize + 2);
    icon->setPixmap(Symbol::pixmap(QStringLiteral("info.circle"), QSize(iconSize, iconSize),
                                   SettingsStyle::blue(), devicePixelRatioF()));
    noteLayout->addWidget(icon);
    noteLayout->addWidget(
        label(QStringLiteral("Shortcuts require accessibility permissions to function properly."), 14, note,
              &Color::secondaryLabelColor));
    noteLayout->addStretch(1);
    root->addWidget(note);
    root->addStretch(1);
}
