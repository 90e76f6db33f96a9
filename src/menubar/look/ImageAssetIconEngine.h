#pragma once

#include <QIconEngine>
#include <QString>

// An image asset as an icon, rendered at the size asked for when it is first asked for: an icon built
// at start-up costs no rendering until something shows it.
class ImageAssetIconEngine : public QIconEngine {
public:
    explicit ImageAssetIconEngine(QString name);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override { return m_name; }
    bool isNull() override;

private:
    QString m_name;
};
