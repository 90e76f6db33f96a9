#include "ui/CaretBlinkTimeout.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QStandardPaths>
#include <QStyleHints>
#include <QThreadPool>
#include <QWidget>
#include <algorithm>

namespace {

constexpr std::chrono::seconds defaultTimeout{10};

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::FocusIn:
        return true;
    default:
        return false;
    }
}

} // namespace

CaretBlinkTimeout::CaretBlinkTimeout(QWidget* field, std::optional<std::chrono::milliseconds> timeout)
    : QObject(field)
    , m_field(field) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(timeout.value_or(defaultTimeout));
    connect(&m_timer, &QTimer::timeout, this, &CaretBlinkTimeout::stopBlinking);
    field->installEventFilter(this);
    if (auto* area = field->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport")))
        area->installEventFilter(this);
    if (field->hasFocus())
        restart();
    if (timeout)
        return;
    // Answered on the main thread, and only while this object lives.
    QPointer<CaretBlinkTimeout> self(this);
    QThreadPool::globalInstance()->start([self] {
        const std::optional<int> seconds = desktopTimeoutSeconds();
        QMetaObject::invokeMethod(
            qApp,
            [self, seconds] {
                if (self)
                    self->follow(seconds);
            },
            Qt::QueuedConnection);
    });
}

void CaretBlinkTimeout::follow(std::optional<int> seconds) {
    if (!seconds)
        return;
    // GTK takes zero and less as "never stop"; its largest is one day.
    m_stops = *seconds > 0;
    m_timer.setInterval(std::chrono::seconds(std::min(*seconds, 24 * 3600)));
    if (m_timer.isActive() || !m_stops)
        restart();
}

CaretBlinkTimeout::~CaretBlinkTimeout() {
    resumeBlinking();
}

std::optional<int> CaretBlinkTimeout::desktopTimeoutSeconds() {
    QStringList folders{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)};
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    folders += dirs.split(u':', Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        for (const char* gtk : {"/gtk-4.0/settings.ini", "/gtk-3.0/settings.ini"}) {
            QFile file(folder + QLatin1String(gtk));
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            while (!file.atEnd()) {
                const QByteArray line = file.readLine().trimmed();
                const qsizetype equals = line.indexOf('=');
                if (equals < 0 || line.left(equals).trimmed() != "gtk-cursor-blink-timeout")
                    continue;
                bool ok = false;
                const int seconds = line.mid(equals + 1).trimmed().toInt(&ok);
                if (ok)
                    return seconds;
            }
        }
    }
    return std::nullopt;
}

bool CaretBlinkTimeout::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        m_timer.stop();
        resumeBlinking();
    } else if (isInput(event->type())) {
        restart();
    }
    return false;
}

void CaretBlinkTimeout::restart() {
    resumeBlinking();
    if (m_stops)
        m_timer.start();
    else
        m_timer.stop();
}

void CaretBlinkTimeout::stopBlinking() {
    if (m_steady || !m_field || !m_field->hasFocus())
        return;
    m_flashTime = QApplication::cursorFlashTime();
    if (m_flashTime <= 0)
        return;
    m_steady = true;
    // The field's text control restarts its caret, shown, whenever the flash time changes.
    QApplication::setCursorFlashTime(0);
}

void CaretBlinkTimeout::resumeBlinking() {
    if (!m_steady)
        return;
    m_steady = false;
    QApplication::setCursorFlashTime(m_flashTime);
}
