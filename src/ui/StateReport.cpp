#include "ui/StateReport.h"

#include <QEvent>
#include <QRect>
#include <QWidget>
#include <QtGlobal>
#include <cstdio>

namespace {

class PlaceReporter : public QObject {
public:
    PlaceReporter(QWidget* widget, const QByteArray& name)
        : QObject(widget)
        , m_name(name) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint) {
            // Its part not cut off by a scrolled view: a click there reaches it.
            const QRect visible = widget->visibleRegion().boundingRect();
            const QRect place(widget->mapToGlobal(visible.topLeft()), visible.size());
            if (!visible.isEmpty() && place != m_reported) {
                m_reported = place;
                const QByteArray line = m_name + " at " + QByteArray::number(place.x()) + ' ' +
                                        QByteArray::number(place.y()) + ' ' + QByteArray::number(place.width()) +
                                        ' ' + QByteArray::number(place.height());
                StateReport::report(line.constData());
            }
        } else if (event->type() == QEvent::Hide && m_reported.isValid()) {
            m_reported = QRect();
            StateReport::report((m_name + " hidden").constData());
        }
        return false;
    }

private:
    QByteArray m_name;
    QRect m_reported;
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

void StateReport::followPlace(QWidget* widget, const QByteArray& name) {
    if (isWanted())
        new PlaceReporter(widget, name);
}
