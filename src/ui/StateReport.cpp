#include "ui/StateReport.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"

#include <QEvent>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace {

class PlaceReporter : public QObject {
public:
    PlaceReporter(QWidget* widget, const QByteArray& name)
        : QObject(widget)
        , m_widget(widget)
        , m_name(name) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_widget && event->type() == QEvent::Paint) {
            reportIfElsewhere();
        } else if (watched == m_window && event->type() == QEvent::Move && m_pending) {
            // The toolkit has heard where its window went.
            reportIfElsewhere();
        } else if (watched == m_widget && event->type() == QEvent::Hide) {
            m_pending = false;
            if (m_reported.isValid()) {
                m_reported = QRect();
                StateReport::report((m_name + " hidden").constData());
            }
        }
        return false;
    }

private:
    void reportIfElsewhere() {
        const QRect visible = m_widget->visibleRegion().boundingRect();
        if (!m_pending && QRect(m_widget->mapToGlobal(visible.topLeft()), visible.size()) == m_reported)
            return;
        const std::optional<QRect> place = StateReport::shownPlace(m_widget);
        if (!place) {
            // Painted, but its window is not yet known where it shows: once the toolkit hears of it.
            m_pending = !visible.isEmpty();
            if (m_pending)
                watch(m_widget->window());
            return;
        }
        m_pending = false;
        if (*place == m_reported)
            return;
        m_reported = *place;
        const QByteArray line = m_name + " at " + QByteArray::number(place->x()) + ' ' +
                                QByteArray::number(place->y()) + ' ' + QByteArray::number(place->width()) + ' ' +
                                QByteArray::number(place->height());
        StateReport::report(line.constData());
    }

    void watch(QWidget* window) {
        if (window == m_window)
            return;
        if (m_window)
            m_window->removeEventFilter(this);
        m_window = window;
        if (window != m_widget)
            window->installEventFilter(this);
    }

    QWidget* m_widget;
    QPointer<QWidget> m_window;
    QByteArray m_name;
    QRect m_reported;
    bool m_pending = false;
};

} // namespace

bool StateReport::isWanted() {
    static const bool wanted = qEnvironmentVariableIsSet("QUILLORA_REPORT_STATE");
    return wanted;
}

void StateReport::report(const char* state) {
    if (!isWanted())
        return;
    std::printf("quillora: %s\n", state);
    std::fflush(stdout);
}

std::optional<QRect> StateReport::shownPlace(QWidget* widget) {
    // Its part not cut off by a scrolled view: a click there reaches it.
    const QRect visible = widget->visibleRegion().boundingRect();
    if (visible.isEmpty())
        return std::nullopt;
    QWidget* window = widget->window();
    const std::optional<QPoint> server =
        hasPlatform() && window->windowHandle() ? platform().windowSystem().screenPosition(window) : std::nullopt;
    // A pixel apart where the display's scale rounds.
    const QPoint believed = window->mapToGlobal(QPoint(0, 0));
    if (server && (std::abs(server->x() - believed.x()) > 1 || std::abs(server->y() - believed.y()) > 1))
        return std::nullopt;
    return QRect(widget->mapToGlobal(visible.topLeft()), visible.size());
}

void StateReport::followPlace(QWidget* widget, const QByteArray& name) {
    if (isWanted())
        new PlaceReporter(widget, name);
}
