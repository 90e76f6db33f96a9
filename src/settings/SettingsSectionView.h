#pragma once

#include <QWidget>

class QLabel;

// A titled group of rows: the title (16, semibold; black in light, white in dark), 16 above the content.
class SettingsSectionView : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of `content`.
    SettingsSectionView(const QString& title, QWidget* content, QWidget* parent = nullptr);

    QString title() const;
    QLabel* titleLabel() const { return m_title; }
    QWidget* content() const { return m_content; }

    static constexpr int spacing = 16;

private:
    QLabel* m_title;
    QWidget* m_content;
};
