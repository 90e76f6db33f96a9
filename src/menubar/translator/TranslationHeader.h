#pragma once

#include <QWidget>

class SymbolButton;

// The title row of the translator: "Quillora" and three icon buttons that ask for the history, the
// saved translations and the settings by notification.
class TranslationHeader : public QWidget {
    Q_OBJECT
public:
    static constexpr int buttonSide = 32;

    explicit TranslationHeader(QWidget* parent = nullptr);

    SymbolButton* historyButton() const { return m_history; }
    SymbolButton* favoritesButton() const { return m_favorites; }
    SymbolButton* settingsButton() const { return m_settings; }

private:
    SymbolButton* iconButton(const QString& symbol, const QString& toolTip, const QString& notification);

    SymbolButton* m_history = nullptr;
    SymbolButton* m_favorites = nullptr;
    SymbolButton* m_settings = nullptr;
};
