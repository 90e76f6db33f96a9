#pragma once

#include <QIconEngine>
#include <QString>

// An image asset as an icon, rendered at the size asked for when it is first asked for: an icon built
// at start-up costs no rendering until something shows it.
class ImageAssetIconEngine : public QIconEngine {
public:
    // `themeName` is the name under which desktops that look icons up by name find it installed (a tray
    // host of another process); by default the asset's own name.
    explicit ImageAssetIconEngine(QString name, QString themeName = {});

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override { return m_themeName.isEmpty() ? m_name : m_themeName; }
    // The sizes a host that takes ready pixmaps is offered; it renders any size on demand.
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;

private:
    QString m_name;
    QString m_themeName;
};
