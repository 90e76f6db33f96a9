#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class FilledButton;
class QLabel;

// One permission in the onboarding window: a picture of the permission at work, a title, an
// explanation, and either a green line saying that it is granted or an allow button. Holds no state of
// its own: the onboarding view says whether the permission is granted and what the button does.
class PermissionCard : public QWidget {
    Q_OBJECT
public:
    PermissionCard(const QString& title, const QString& description, const QString& imageName,
                   const QString& grantedText, std::function<void()> buttonAction, QWidget* parent = nullptr);

    void setGranted(bool granted);
    bool isGranted() const { return m_granted; }

    // "Allow " followed by the first word of `title` (the whole title when it has no space).
    static QString allowButtonText(const QString& title);

    FilledButton* allowButton() const { return m_allowButton; }
    QWidget* grantedLine() const { return m_grantedLine; }

private:
    bool m_granted = false;
    FilledButton* m_allowButton;
    QWidget* m_grantedLine;
};
