#include "ui/DropShadow.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace DropShadow {

namespace {

struct Key {
    QSize size;
    qreal corner;
    qreal blur;
    QRgb color;
    qreal dpr;
    bool operator==(const Key&) const = default;
};

struct Entry {
    Key key;
    QImage image;
};

// Most recently used last. A handful of widgets share it; sizes change only while the input grows.
std::vector<Entry>& cache() {
    static std::vector<Entry> entries;
    return entries;
}
constexpr std::size_t cacheLimit = 32;

std::vector<float> gaussian(qreal sigma) {
    const int reach = std::max(1, int(std::ceil(sigma * 3)));
    std::vector<float> weights(std::size_t(reach * 2 + 1));
    float sum = 0;
    for (int i = -reach; i <= reach; ++i) {
        const float w = float(std::exp(-(i * i) / (2 * sigma * sigma)));
        weights[std::size_t(i + reach)] = w;
        sum += w;
    }
    for (float& w : weights)
        w /= sum;
    return weights;
}

// One pass of the separable blur over `from` (width x height, row-major) into `to`, along x or y.
void blurPass(const std::vector<float>& from, std::vector<float>& to, int width, int height, bool alongX,
              const std::vector<float>& weights) {
    const int reach = int(weights.size() / 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -reach; k <= reach; ++k) {
                const int sx = alongX ? x + k : x;
                const int sy = alongX ? y : y + k;
                if (sx < 0 || sy < 0 || sx >= width || sy >= height)
                    continue;
                sum += from[std::size_t(sy * width + sx)] * weights[std::size_t(k + reach)];
            }
            to[std::size_t(y * width + x)] = sum;
        }
    }
}

QImage render(const Key& key) {
    const int pad = margin(key.blur);
    const QSize logical = key.size + QSize(pad * 2, pad * 2);
    const QSize device(int(std::ceil(logical.width() * key.dpr)), int(std::ceil(logical.height() * key.dpr)));
    QImage mask(device, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(key.dpr, key.dpr);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(QPointF(pad, pad), QSizeF(key.size)).adjusted(0.25, 0.25, -0.25, -0.25),
                             key.corner, key.corner);
        painter.fillPath(shape, Qt::black);
    }
    const int width = device.width();
    const int height = device.height();
    std::vector<float> plane(std::size_t(width * height));
    for (int y = 0; y < height; ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < width; ++x)
            plane[std::size_t(y * width + x)] = line[x];
    }
    std::vector<float> across(plane.size());
    const std::vector<float> weights = gaussian(key.blur * key.dpr);
    blurPass(plane, across, width, height, true, weights);
    blurPass(across, plane, width, height, false, weights);

    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    const QColor color = QColor::fromRgba(key.color);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = std::clamp(int(std::lround(plane[std::size_t(y * width + x)] * color.alphaF())), 0, 255);
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), alpha));
        }
    }
    image.setDevicePixelRatio(key.dpr);
    return image;
}

// The sibling that paints the shadow, kept just under its widget.
class ShadowView : public QWidget {
public:
    ShadowView(QWidget* target, const Theme::Shadow& shadow, Opacity opacity)
        : QWidget(target->parentWidget())
        , m_target(target)
        , m_shadow(shadow)
        , m_opacity(std::move(opacity)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        follow();
        stackUnder(m_target);
    }

    void follow() {
        const int pad = margin(m_shadow.radius);
        setGeometry(m_target->geometry()
                        .translated(int(std::lround(m_shadow.x)), int(std::lround(m_shadow.y)))
                        .adjusted(-pad, -pad, pad, pad));
        setVisible(m_target->isVisibleTo(parentWidget()));
    }

    bool hasOpacity() const { return bool(m_opacity); }

protected:
    void paintEvent(QPaintEvent*) override {
        QColor color = m_shadow.color;
        if (m_opacity)
            color.setAlphaF(float(color.alphaF() * std::clamp(m_opacity(), 0.0, 1.0)));
        if (color.alpha() == 0 || m_target->size().isEmpty())
            return;
        QPainter painter(this);
        painter.drawImage(
            QPoint(0, 0), image(m_target->size(), Theme::cornerRadius, m_shadow.radius, color, devicePixelRatioF()));
    }

private:
    QWidget* m_target;
    Theme::Shadow m_shadow;
    Opacity m_opacity;
};

// Lives as the widget's child and keeps the sibling in step with it.
class Follower : public QObject {
public:
    Follower(QWidget* target, const Theme::Shadow& shadow, Opacity opacity)
        : QObject(target)
        , m_target(target)
        , m_shadow(shadow)
        , m_opacity(std::move(opacity)) {
        target->installEventFilter(this);
        adopt();
        Theme::followAppearance(this, [this] {
            if (m_view)
                m_view->update();
        });
    }

    ~Follower() override { delete m_view.data(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_target)
            return false;
        switch (event->type()) {
        case QEvent::ParentChange:
            adopt();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            if (m_view)
                m_view->follow();
            break;
        case QEvent::Show:
        case QEvent::ZOrderChange:
            if (m_view) {
                m_view->follow();
                m_view->stackUnder(m_target);
            }
            break;
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::EnabledChange:
            // The widget's fill may have changed with its state; the shadow outside it repaints too.
            if (m_view && m_view->hasOpacity())
                m_view->update();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void adopt() {
        QWidget* parent = m_target->parentWidget();
        if (m_view && m_view->parentWidget() == parent)
            return;
        delete m_view.data();
        if (parent && !m_target->isWindow())
            m_view = new ShadowView(m_target, m_shadow, m_opacity);
    }

    QWidget* m_target;
    Theme::Shadow m_shadow;
    Opacity m_opacity;
    QPointer<ShadowView> m_view;
};

} // namespace

void releaseImages() {
    std::vector<Entry>().swap(cache());
}

int margin(qreal blur) {
    return int(std::ceil(blur * 3));
}

QImage image(QSize size, qreal corner, qreal blur, const QColor& color, qreal dpr) {
    const Key key{size, corner, blur, color.rgba(), dpr};
    auto& entries = cache();
    const auto found = std::find_if(entries.begin(), entries.end(), [&key](const Entry& e) { return e.key == key; });
    if (found != entries.end()) {
        std::rotate(found, found + 1, entries.end());
        return entries.back().image;
    }
    if (entries.size() >= cacheLimit)
        entries.erase(entries.begin());
    entries.push_back({key, render(key)});
    return entries.back().image;
}

void attach(QWidget* widget, const Theme::Shadow& shadow, Opacity opacity) {
    if (widget)
        new Follower(widget, shadow, std::move(opacity));
}

} // namespace DropShadow
