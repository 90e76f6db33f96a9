#include "ui/GlobalToastManager.h"

#include "ui/GlobalToastPanel.h"
#include "ui/Symbol.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace {

int graphemeCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

GlobalToastManager& GlobalToastManager::shared() {
    static GlobalToastManager* instance = new GlobalToastManager;
    return *instance;
}

GlobalToastManager::GlobalToastManager()
    : QObject(QCoreApplication::instance()) {}

double GlobalToastManager::durationFor(const QString& message, double durationSeconds) {
    if (durationSeconds > 0)
        return durationSeconds;
    const int characters = graphemeCount(message);
    if (characters < 50)
        return 2;
    if (characters < 100)
        return 3;
    return 4;
}

int GlobalToastManager::panelWidthFor(const QString& message) {
    const int text = QFontMetrics(GlobalToastPanel::messageFont()).horizontalAdvance(message);
    return std::clamp(text + 30 + 60, minimumWidth, maximumWidth);
}

void GlobalToastManager::show(const QString& message, const QString& icon, double durationSeconds) {
    QPointer<GlobalToastManager> self(this);
    MainQueue::async([self, message, icon, durationSeconds] {
        if (self)
            self->presentToast(message, icon, durationSeconds);
    });
}

void GlobalToastManager::presentToast(const QString& message, const QString& icon, double durationSeconds) {
    m_hideTimer.cancel();
    if (m_panel) {
        m_panel->close();
        m_panel = nullptr;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;

    const QSize size(panelWidthFor(message), panelHeight);
    auto* panel = new GlobalToastPanel(message, icon, size);
    // The banner centred on the screen; its shadow's room around it.
    const QRect frame = screen->geometry();
    panel->move(QPoint(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2) -
                panel->bannerRect().topLeft());
    panel->setWindowOpacity(0);
    m_panel = panel;
    panel->show();
    panel->fadeIn(fadeMs);

    const int delayMs = int(std::lround(durationFor(message, durationSeconds) * 1000));
    m_hideTimer.schedule(delayMs, [this] { fadeOut(); });
}

void GlobalToastManager::fadeOut() {
    if (m_panel)
        m_panel->fadeOut(fadeMs);
}
