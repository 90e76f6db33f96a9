#pragma once

#include "ui/OpacityFade.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class SymbolButton;

// The translator's message banner: a tinted, rounded box with the kind's symbol, the message and a
// close button. It stays until closed.
class InlineAlert : public QWidget {
    Q_OBJECT
public:
    enum class AlertType { Info, Warning, Error, Success };

    static constexpr int padding = 12;
    static constexpr int spacing = 12;

    InlineAlert(const QString& message, AlertType type, std::function<void()> onDismiss = {},
                QWidget* parent = nullptr);

    QString message() const { return m_message; }
    AlertType type() const { return m_type; }
    void setAlert(const QString& message, AlertType type);

    // The close button: fades the banner out, then tells the owner.
    void dismiss();
    // Appearing and going, each with a fade.
    OpacityFade& fade() { return *m_fade; }

    // "info", "warning", "error", "success"; nothing for any other text (case counts).
    static std::optional<AlertType> typeFromName(const QString& name);
    static QColor tintColor(AlertType type);
    static QString iconName(AlertType type);

    SymbolButton* closeButton() const { return m_closeButton; }
    QLabel* messageLabel() const { return m_messageLabel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    QString m_message;
    AlertType m_type;
    std::function<void()> m_onDismiss;
    QLabel* m_iconLabel = nullptr;
    QLabel* m_messageLabel = nullptr;
    SymbolButton* m_closeButton = nullptr;
    OpacityFade* m_fade = nullptr;
};
