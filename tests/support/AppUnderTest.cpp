#include "AppUnderTest.h"

#include "Desktop.h"
#include "DevApiServer.h"
#include "TestUtils.h"

#include "platform/SettingsWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

const QString AppUnderTest::launchFinishedLine = QStringLiteral("quillora: launched\n");
const QString AppUnderTest::fullSetupLine = QStringLiteral("quillora: ready\n");
const QStringList AppUnderTest::trayMenuEnd = {
    QStringLiteral("Settings"), QStringLiteral("Check for Updates"), QString(), QStringLiteral("Quit")};
const QString AppUnderTest::translatorWindow = QStringLiteral("^Quillora$");
const QString AppUnderTest::trayIconWindow = QStringLiteral("^Quillora tray icon$");
const QString AppUnderTest::floatingBarWindow = QStringLiteral("^Quillora floating bar$");
const QString AppUnderTest::translationWindow = QStringLiteral("^Quillora translation$");
const QString AppUnderTest::settingsWindow = QStringLiteral("^Ayarlar$");
const QString AppUnderTest::onboardingWindow = QStringLiteral("^Welcome to Quillora$");

AppUnderTest::AppUnderTest(QString program)
    : m_program(std::move(program))
    , m_sandbox(std::make_unique<QTemporaryDir>())
    , m_environment(QProcessEnvironment::systemEnvironment()) {
    for (const QString& dir : {configHome(), runtimeDir(), dataHome(), home()})
        QDir().mkpath(dir);
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    m_environment.insert(QStringLiteral("HOME"), home());
    m_environment.remove(QStringLiteral("QUILLORA_DEV_API_URL"));
    // The lines that say how far the start got, in every build.
    m_environment.insert(QStringLiteral("QUILLORA_REPORT_STATE"), QStringLiteral("1"));
    // The app chooses its platform itself; the tests' offscreen choice must not leak into it.
    m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
}

AppUnderTest::~AppUnderTest() {
    if (isRunning())
        stop();
}

QString AppUnderTest::configHome() const {
    return m_sandbox->filePath(QStringLiteral("config"));
}
QString AppUnderTest::runtimeDir() const {
    return m_sandbox->filePath(QStringLiteral("runtime"));
}
QString AppUnderTest::dataHome() const {
    return m_sandbox->filePath(QStringLiteral("data"));
}
QString AppUnderTest::home() const {
    return m_sandbox->filePath(QStringLiteral("home"));
}
QString AppUnderTest::settingsPath() const {
    return configHome() + QStringLiteral("/Quillora/Quillora.conf");
}

void AppUnderTest::setSetting(const QString& key, const QVariant& value) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

QVariant AppUnderTest::setting(const QString& key) const {
    // Long text lives in a file of its own.
    const QString own = configHome() + QStringLiteral("/Quillora/values/") + SettingsWriter::fileNameOf(key);
    if (QFileInfo::exists(own))
        return QString::fromUtf8(SettingsWriter::readValueFile(own).value_or(QByteArray()));
    QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.value(key);
}

void AppUnderTest::setEnvironmentVariable(const QString& name, const QString& value) {
    if (value.isEmpty())
        m_environment.remove(name);
    else
        m_environment.insert(name, value);
}

bool AppUnderTest::start(const DevApiServer* api, int timeoutMs, const QString& readyLine) {
    if (m_program.isEmpty()) {
        qWarning("AppUnderTest: the quillora binary is not built");
        return false;
    }
    if (api)
        m_environment.insert(QStringLiteral("QUILLORA_DEV_API_URL"), api->baseUrl());
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(m_environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_log.clear();
    m_process->start(m_program, {});
    if (!m_process->waitForStarted(10000))
        return false;
    const qsizetype found = waitForLog(readyLine, timeoutMs);
    if (found < 0)
        std::fprintf(stderr, "AppUnderTest: no \"%s\"; the app's log so far:\n%s\n", qPrintable(readyLine),
                     qPrintable(log()));
    return found >= 0;
}

void AppUnderTest::readOutput() {
    if (m_process)
        m_log += QString::fromUtf8(m_process->readAll());
}

QString AppUnderTest::log() {
    readOutput();
    return m_log;
}

std::optional<QRect> AppUnderTest::placeOf(const QString& name, qsizetype from) {
    readOutput();
    const QString prefix = QStringLiteral("quillora: ") + name + QLatin1Char(' ');
    const qsizetype at = m_log.lastIndexOf(prefix);
    if (at < from || at < 0)
        return std::nullopt;
    const qsizetype end = m_log.indexOf(QLatin1Char('\n'), at);
    if (end < 0)
        return std::nullopt;
    const QStringList words = m_log.mid(at + prefix.size(), end - at - prefix.size()).split(QLatin1Char(' '));
    if (words.size() != 5 || words[0] != QLatin1String("at"))
        return std::nullopt;
    return QRect(words[1].toInt(), words[2].toInt(), words[3].toInt(), words[4].toInt());
}

std::optional<QRect> AppUnderTest::waitForPlace(const QString& name, qsizetype from, int timeoutMs) {
    std::optional<QRect> place;
    waitUntil(
        [&] {
            place = placeOf(name, from);
            return place.has_value() || !isRunning();
        },
        timeoutMs);
    return place;
}

qsizetype AppUnderTest::waitForLog(const QString& fragment, int timeoutMs, qsizetype from) {
    qsizetype found = -1;
    waitUntil(
        [&] {
            readOutput();
            found = m_log.indexOf(fragment, from);
            return found >= 0 || !isRunning();
        },
        timeoutMs);
    if (found < 0) {
        readOutput();
        found = m_log.indexOf(fragment, from);
    }
    return found;
}

bool AppUnderTest::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 AppUnderTest::processId() const {
    return m_process ? m_process->processId() : 0;
}

int AppUnderTest::stop(int timeoutMs) {
    if (!m_process)
        return -1;
    if (m_process->state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process->processId()), SIGTERM);
        if (!waitUntil([&] { return m_process->state() == QProcess::NotRunning; }, timeoutMs)) {
            m_process->kill();
            m_process->waitForFinished(5000);
            readOutput();
            return -1;
        }
    }
    readOutput();
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

int AppUnderTest::launchAgain(int timeoutMs, QByteArray* output) {
    QProcess second;
    second.setProcessEnvironment(m_environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(m_program, {});
    const bool finished = waitUntil([&] { return second.state() == QProcess::NotRunning; }, timeoutMs);
    if (output)
        *output = second.readAll();
    if (!finished) {
        second.kill();
        second.waitForFinished(5000);
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

QList<quint32> AppUnderTest::windows(const QString& nameRegex) const {
    if (!isRunning())
        return {};
    // Asked on the app's display, which a test may have made another than its own.
    return windowsOf(processId(), nameRegex, m_environment.value(QStringLiteral("DISPLAY")));
}

QList<quint32> AppUnderTest::windowsOf(qint64 pid, const QString& nameRegex, const QString& display) {
    QList<quint32> ids;
    // --all: by default xdotool takes a window that meets any one condition, so any window of the app.
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--pid"), QString::number(pid)};
    if (!nameRegex.isEmpty())
        arguments << QStringLiteral("--name") << nameRegex;
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    xdotool.setProcessEnvironment(environment);
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!waitUntil([&] { return xdotool.state() == QProcess::NotRunning; }, 5000))
        return ids;
    for (const QByteArray& line : xdotool.readAllStandardOutput().split('\n')) {
        bool ok = false;
        const quint32 id = line.trimmed().toUInt(&ok);
        if (ok)
            ids.append(id);
    }
    return ids;
}

std::optional<quint32> AppUnderTest::waitForWindow(const QString& nameRegex, int timeoutMs) {
    std::optional<quint32> found;
    waitUntil(
        [&] {
            const QList<quint32> ids = windows(nameRegex);
            if (!ids.isEmpty())
                found = ids.first();
            return found.has_value() || !isRunning();
        },
        timeoutMs);
    return found;
}

bool AppUnderTest::waitForNoWindow(const QString& nameRegex, int timeoutMs) {
    return waitUntil([&] { return windows(nameRegex).isEmpty(); }, timeoutMs);
}

std::optional<QRect> AppUnderTest::windowGeometry(quint32 window) {
    const std::optional<QByteArray> output =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    if (!output)
        return std::nullopt;
    QHash<QString, int> values;
    for (const QByteArray& line : output->split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split('=');
        if (parts.size() == 2)
            values.insert(QString::fromLatin1(parts[0]), parts[1].toInt());
    }
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

std::optional<QRect> AppUnderTest::openTrayMenu(QPoint icon, int timeoutMs) {
    const QList<quint32> before = windows();
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(icon.x()),
                                             QString::number(icon.y()), QStringLiteral("click"), QStringLiteral("3")}))
        return std::nullopt;
    std::optional<QRect> menu;
    waitUntil(
        [&] {
            for (quint32 id : windows()) {
                if (!before.contains(id))
                    menu = windowGeometry(id);
            }
            return menu.has_value() || !isRunning();
        },
        timeoutMs);
    if (menu)
        m_lastTrayMenu = *menu;
    return menu;
}

bool AppUnderTest::chooseFromTrayMenu(QPoint icon, const QStringList& lastEntries, const QString& entry,
                                      int timeoutMs) {
    const auto xdotool = [](const QStringList& arguments) {
        return runTool(QStringLiteral("xdotool"), arguments).has_value();
    };
    const std::optional<QRect> menu = openTrayMenu(icon, timeoutMs);
    if (!menu)
        return false;
    // The entry's place from the menu's bottom, in a menu of this style that ends the same way.
    QMenu probe;
    QAction* wanted = nullptr;
    for (const QString& text : lastEntries) {
        QAction* action = text.isEmpty() ? probe.addSeparator() : probe.addAction(text);
        if (text == entry)
            wanted = action;
    }
    if (!wanted)
        return false;
    const int fromBottom = probe.sizeHint().height() - probe.actionGeometry(wanted).center().y();
    const QPoint target(menu->center().x(), menu->top() + menu->height() - fromBottom);
    // Moved onto the entry first: a menu takes a click only after the pointer moved over it, which the X
    // server tells it before the press.
    return xdotool({QStringLiteral("mousemove"), QString::number(target.x()), QString::number(target.y()),
                    QStringLiteral("mousemove"), QString::number(target.x() + 1), QString::number(target.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

QString AppUnderTest::windowName(quint32 window) {
    return QString::fromUtf8(
        runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)})
            .value_or(QByteArray())
            .trimmed());
}

bool AppUnderTest::waitForKeyboardFocus(quint32 window, int timeoutMs) {
    return waitUntil(
        [window] {
            const std::optional<QByteArray> focused =
                runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
            return focused && focused->trimmed().toUInt() == window;
        },
        timeoutMs);
}

QImage AppUnderTest::windowImage(quint32 window) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(window).toImage() : QImage();
}

QString AppUnderTest::artifactDir() {
    static const QString dir = [] {
        QString chosen = qEnvironmentVariable("QUILLORA_TEST_ARTIFACTS");
        if (!chosen.isEmpty()) {
            QDir().mkpath(chosen);
            return chosen;
        }
        // Of this process alone: tests of other runs on the machine save under the same names.
        QTemporaryDir own(QDir::tempPath() + QStringLiteral("/quillora-test-XXXXXX"));
        own.setAutoRemove(false);
        return own.isValid() ? own.path() : QString();
    }();
    return dir;
}

QString AppUnderTest::saveScreenshot(const QString& name) {
    const QString dir = artifactDir();
    if (dir.isEmpty())
        return {};
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}))
        return {};
    std::fprintf(stderr, "Screenshot: %s\n", qPrintable(path));
    return path;
}

void AppUnderTest::saveFailureScreenshot(const QString& name) {
    // A test's name may hold a '/' (parameterised tests), which is no part of a file name.
    const QString shot = saveScreenshot(QString(name).replace(QLatin1Char('/'), QLatin1Char('-')));
    ADD_FAILURE() << "the screen at the failure: " << (shot.isEmpty() ? std::string("not saved") : shot.toStdString());
}
