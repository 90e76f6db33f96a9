#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QLabel;
class SymbolTextButton;

// The "About" tab: icon, name, version, a description and five links opened with the desktop's browser
// and mail client. The web site, the X profile and the support address are build settings.
class AboutTabView : public QWidget {
    Q_OBJECT
public:
    struct Link {
        QString title;
        // A symbol name, or an image asset when `isImage`.
        QString icon;
        bool isImage;
        QUrl destination;
    };
    static QList<Link> links();

    explicit AboutTabView(QWidget* parent = nullptr);

    QLabel* nameLabel() const { return m_name; }
    QLabel* versionLabel() const { return m_version; }
    QLabel* descriptionLabel() const { return m_description; }
    const QList<SymbolTextButton*>& linkButtons() const { return m_links; }

private:
    void open(const QUrl& url);
    void reportUnopened(const QUrl& url);

    QLabel* m_name;
    QLabel* m_version;
    QLabel* m_description;
    QList<SymbolTextButton*> m_links;
};
