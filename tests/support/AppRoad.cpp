#include "AppRoad.h"

#include "Desktop.h"
#include "TestUtils.h"

#include <QJsonDocument>
#include <QSystemTrayIcon>

void AppRoad::mouseUp() {
    Desktop::xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
}

void AppRoad::TearDown() {
    if (!HasFailure())
        return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    AppUnderTest::saveFailureScreenshot(QStringLiteral("%1.%2-failure")
                                            .arg(QString::fromUtf8(test->test_suite_name()),
                                                 QString::fromUtf8(test->name())));
    std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(m_app.log()));
}

bool AppRoad::waitForTray() {
    return waitUntil(&QSystemTrayIcon::isSystemTrayAvailable, 20000);
}

QJsonArray AppRoad::history() const {
    return QJsonDocument::fromJson(m_app.setting(QStringLiteral("translationHistory")).toString().toUtf8())
        .array();
}

QList<QJsonObject> AppRoad::requestsTo(const QString& prefix) const {
    QList<QJsonObject> found;
    for (const QJsonObject& entry : m_api.requestLog()) {
        if (entry.value(QStringLiteral("path")).toString().startsWith(prefix))
            found.append(entry);
    }
    return found;
}

bool AppRoad::clickControlUntil(const QString& name, qsizetype from, const std::function<bool()>& done, int scale,
                                int timeoutMs) {
    std::optional<QRect> clicked;
    const bool reached = waitUntil(
        [&] {
            if (done())
                return true;
            const std::optional<QRect> place = m_app.placeOf(name, from);
            if (place && place != clicked) {
                clicked = place;
                Desktop::clickAt(place->center() * scale);
            }
            return false;
        },
        timeoutMs);
    if (!reached)
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), clicked ? "clicked, to no effect" : "never shown");
    return reached;
}

std::optional<QRect> AppRoad::waitForTrayIcon() {
    const std::optional<quint32> icon = m_app.waitForWindow(AppUnderTest::trayIconWindow);
    return icon ? AppUnderTest::windowGeometry(*icon) : std::nullopt;
}

std::optional<AppRoad::TrayTranslator> AppRoad::startAndOpenTranslator() {
    if (!m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine))
        return std::nullopt;
    const std::optional<QRect> icon = waitForTrayIcon();
    if (!icon || !Desktop::clickAt(icon->center()))
        return std::nullopt;
    const std::optional<quint32> window = m_app.waitForWindow(AppUnderTest::translatorWindow);
    return window ? std::optional<TrayTranslator>({*icon, *window}) : std::nullopt;
}

std::optional<AppRoad::SettingsWindow> AppRoad::openSettingsFromTray() {
    const std::optional<QRect> icon = waitForTrayIcon();
    if (!icon ||
        !m_app.chooseFromTrayMenu(icon->center(), AppUnderTest::trayMenuEnd, QStringLiteral("Settings")))
        return std::nullopt;
    const std::optional<quint32> window = m_app.waitForWindow(AppUnderTest::settingsWindow);
    if (!window)
        return std::nullopt;
    // Out of the way of the clients at the screen's top left.
    if (!Desktop::xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), QString::number(*window),
                           QStringLiteral("850"), QStringLiteral("380")}))
        return std::nullopt;
    // Where the window manager put its client area, once it stays there.
    const std::optional<QByteArray> settled = Desktop::waitUntilSettled([&] {
        const std::optional<QPoint> origin = Desktop::clientOrigin(*window);
        return origin && origin->x() >= 800 ? QByteArray::number(origin->x()) + ' ' + QByteArray::number(origin->y())
                                            : QByteArray();
    });
    if (!settled)
        return std::nullopt;
    const QList<QByteArray> xy = settled->split(' ');
    return SettingsWindow{*window, QPoint(xy[0].toInt(), xy[1].toInt())};
}
