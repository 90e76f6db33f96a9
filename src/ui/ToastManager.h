#pragma once

#include <QColor>
#include <QObject>
#include <QString>

// The model of the small notice drawn inside the translator view ("Copied", "Added", ...). One shared
// instance; views that show it follow `changed`.
class ToastManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showToast READ isShowingToast NOTIFY changed)
public:
    static ToastManager& shared();

    bool isShowingToast() const { return m_showToast; }
    QString toastMessage() const { return m_toastMessage; }
    QString toastIcon() const { return m_toastIcon; }
    QColor toastColor() const { return m_toastColor; }

    // Shows the toast and hides it `durationSeconds` later. A new toast replaces the text at once; an
    // earlier toast's hide still comes at its own time, and hides whatever is shown then.
    void showToast(const QString& message, const QString& icon, const QColor& color, double durationSeconds);
    void hideToast();

Q_SIGNALS:
    void changed();

private:
    ToastManager();

    bool m_showToast = false;
    QString m_toastMessage;
    QString m_toastIcon;
    QColor m_toastColor = QColor(0, 122, 255);
};
