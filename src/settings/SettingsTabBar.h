#pragma once

#include <QAbstractButton>
#include <QList>
#include <QString>
#include <QWidget>

// One tab of the settings window's tab row: a symbol and a title on a rounded selection background,
// with a pressed background while the mouse button is held.
class SettingsTabButton : public QAbstractButton {
    Q_OBJECT
public:
    SettingsTabButton(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // The colours of the button in the current appearance.
    QColor labelColor() const;
    QColor selectionBackground() const;
    QColor pressedBackground() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int buttonHeight = 36;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    bool m_selected = false;
};

// The row of tabs across the top of the settings window, on the window material. The row is as high as
// its frame, so the buttons sit whole inside it.
class SettingsTabBar : public QWidget {
    Q_OBJECT
public:
    struct Tab {
        QString title;
        QString icon;
    };
    static const QList<Tab>& tabs();

    explicit SettingsTabBar(QWidget* parent = nullptr);

    int selectedTab() const { return m_selectedTab; }
    // A position outside the table highlights nothing.
    void setSelectedTab(int index);
    const QList<SettingsTabButton*>& buttons() const { return m_buttons; }

    static constexpr int barHeight = 56;

Q_SIGNALS:
    void tabClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<SettingsTabButton*> m_buttons;
    int m_selectedTab = -1;
};
