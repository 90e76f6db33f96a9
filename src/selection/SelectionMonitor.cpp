#include "selection/SelectionMonitor.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/WindowSystem.h"
#include "platform/Workspace.h"
#include "selection/AccessibilityService.h"
#include "selection/ExcludedAppsManager.h"
#include "services/LanguageDetectionService.h"
#include "services/LanguagePreferences.h"

#include <QCoreApplication>
#include <QLineF>
#include <algorithm>

namespace {

const QString kTag = QStringLiteral("SelectionMonitor");

// Payload lists arrive as QStringList from our own posters, as QVariantList from others.
std::optional<QStringList> stringList(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList list;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QString)
            return std::nullopt;
        list.append(item.toString());
    }
    return list;
}

} // namespace

SelectionMonitor& SelectionMonitor::shared() {
    static auto* instance = new SelectionMonitor(AccessibilityService::shared());
    return *instance;
}

SelectionMonitor::SelectionMonitor(AccessibilityService& reader, QObject* parent)
    : QObject(parent)
    , m_reader(reader) {
    const QString showKey = QStringLiteral("showFloatingBar");
    // The setting defaults to on; only a stored false turns the bar off.
    m_showFloatingBar =
        UserDefaults::standard().object(showKey).isValid() ? UserDefaults::standard().boolean(showKey) : true;
    m_excludedApps = ExcludedAppsManager::loadExcludedApps();

    NotificationCenter::shared().addObserver(Notifications::FloatingBarVisibilityChanged, this,
                                             [this](const QVariantMap& info) {
                                                 const QVariant value = info.value(NotificationKeys::value);
                                                 if (value.typeId() == QMetaType::Bool)
                                                     m_showFloatingBar = value.toBool();
                                             });
    NotificationCenter::shared().addObserver(
        Notifications::ExcludedAppsChanged, this, [this](const QVariantMap& info) {
            if (auto apps = stringList(info.value(NotificationKeys::apps)))
                m_excludedApps = *apps;
            else
                m_excludedApps = ExcludedAppsManager::loadExcludedApps();
        });
    installGlobalMonitor();
}

SelectionMonitor::~SelectionMonitor() {
    if (m_monitor)
        m_monitor->stop();
}

bool SelectionMonitor::installGlobalMonitor() {
    if (m_monitor)
        m_monitor->stop();
    m_monitor = &platform().globalMouseMonitor();
    m_buttonDown = false;
    m_pressClickCount = 0;
    QPointer<SelectionMonitor> self(this);
    const bool started = m_monitor->start([self](const GlobalMouseEvent& event) {
        if (self)
            self->handleMouseEvent(event);
    });
    if (!started)
        debugLog(kTag, QStringLiteral("⚠️ no global mouse monitor on this display"));
    return started;
}

void SelectionMonitor::handleMouseEvent(const GlobalMouseEvent& event) {
    switch (event.type) {
    case GlobalMouseEvent::Type::LeftMouseDown:
        ++m_gesture;
        m_buttonDown = true;
        m_pressPosition = event.position;
        m_pressWindow = platform().workspace().applicationWindowAt(event.position);
        // A double or triple click is one gesture from its first press: the application may take PRIMARY
        // as early as the second press, possibly before we hear of that press.
        if (event.clickCount <= 1 || m_pressClickCount == 0 || event.clickCount != m_pressClickCount + 1)
            m_selectionChangeCountAtPress = platform().pasteboard().changeCount(Pasteboard::Mode::Selection);
        m_pressClickCount = event.clickCount;
        return;
    case GlobalMouseEvent::Type::LeftMouseDragged:
        return;
    // Selecting is the left button's work; a right press (a context menu) neither starts nor ends a gesture.
    case GlobalMouseEvent::Type::RightMouseDown:
        return;
    case GlobalMouseEvent::Type::LeftMouseUp: {
        if (!m_buttonDown)
            return;
        m_buttonDown = false;
        const int clicks = std::max(m_pressClickCount, event.clickCount);
        const bool dragged = QLineF(m_pressPosition, event.position).length() > MinimumDragDistance;
        if (dragged || clicks >= 2)
            handleSelectionGesture(event.position);
        return;
    }
    }
}

void SelectionMonitor::handleSelectionGesture(QPoint position) {
    if (!m_showFloatingBar)
        return;
    if (isOwnWindowAt(position))
        return;
    // A double click on a title bar, the desktop or a panel selects nothing.
    if (!m_pressWindow) {
        debugLog(kTag, QStringLiteral("🚫 not in an application window"));
        return;
    }
    if (m_pressWindow->processId == QCoreApplication::applicationPid())
        return;
    const QString bundleIdentifier = m_pressWindow->bundleIdentifier;
    if (!bundleIdentifier.isEmpty() && m_excludedApps.contains(bundleIdentifier)) {
        debugLog(kTag, QStringLiteral("🚫 %1 is excluded").arg(bundleIdentifier));
        return;
    }

    const quint64 gesture = m_gesture;
    QPointer<SelectionMonitor> self(this);
    Q_EMIT readStarted();
    m_reader.readSelectedText({m_selectionChangeCountAtPress, bundleIdentifier, m_pressWindow->windowId,
                               m_pressWindow->processId, m_pressPosition},
                              [self, gesture, position](std::optional<SelectedText> selection) {
                                  if (!self)
                                      return;
                                  if (selection && gesture != self->m_gesture)
                                      debugLog(kTag,
                                               QStringLiteral("🗑️ selection of an outdated gesture"));
                                  else if (selection)
                                      self->deliver(*selection, position);
                                  Q_EMIT self->readFinished();
                              });
}

bool SelectionMonitor::isOwnWindowAt(QPoint position) const {
    return platform().windowSystem().ownWindowAt(position) != nullptr;
}

void SelectionMonitor::deliver(const SelectedText& selection, QPoint position) {
    if (selection.text.trimmed().isEmpty())
        return;
    if (selection.text == m_lastText && m_lastTextTimer.isValid() &&
        m_lastTextTimer.elapsed() < SameTextIntervalMs)
        return;
    m_lastText = selection.text;
    m_lastTextTimer.start();

    const QString language =
        LanguageDetectionService::detectLanguage(selection.text.left(DetectionSampleLength));
    const QRect rect(position, QSize(1, 1));
    MainQueue::async(
        [this, text = selection.text, rect, language, editable = selection.isEditable] {
            if (onSelectionChanged)
                onSelectionChanged(text, rect, language, editable);
        },
        this);
}

void SelectionMonitor::requestTranslation(const QString& text) {
    NotificationCenter::shared().post(Notifications::TranslateSelectedText,
                                      {{NotificationKeys::text, text},
                                       {NotificationKeys::sourceLanguage, QStringLiteral("auto")},
                                       {NotificationKeys::targetLanguage, LanguagePreferences::targetCode()}});
}
