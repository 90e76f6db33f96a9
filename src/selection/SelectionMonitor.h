#pragma once

#include "platform/GlobalMouseMonitor.h"
#include "platform/Workspace.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

class AccessibilityService;
struct SelectedText;

// Decides from the left mouse button anywhere on the desktop when the user selected text in another
// application, reads that text and hands it on. A selection gesture is a drag of more than 5 points
// between press and release, or a double or triple click, in a window of another process whose
// application is not excluded, while the floating bar is on.
//
// The shared instance starts listening on the installed platform's global mouse monitor when it is
// created. A platform installed later (tests install a fresh one per test) is not followed on its own:
// call installGlobalMonitor() again. Tests normally build their own instance instead.
class SelectionMonitor : public QObject {
    Q_OBJECT
public:
    // Selected text, a 1 x 1 rectangle at the pointer (global coordinates), the detected language code
    // ("auto" when none is recognised) and whether the selection is in an editable field.
    using SelectionHandler =
        std::function<void(const QString& text, const QRect& rect, const QString& language, bool isEditable)>;

    static constexpr double MinimumDragDistance = 5.0;
    // The same text again within this interval is not reported a second time.
    static constexpr int SameTextIntervalMs = 1500;
    // Language detection looks at no more than this much of a selection.
    static constexpr int DetectionSampleLength = 2000;

    static SelectionMonitor& shared();

    // Reads "showFloatingBar" and the excluded applications, follows "FloatingBarVisibilityChanged" and
    // "ExcludedAppsChanged" from then on, and installs the global monitor.
    explicit SelectionMonitor(AccessibilityService& reader, QObject* parent = nullptr);
    ~SelectionMonitor() override;

    // Called on the main queue for each accepted selection. Null until set.
    SelectionHandler onSelectionChanged;

    // (Re)starts listening on the installed platform's monitor. False when it offers none.
    bool installGlobalMonitor();

    // Posts "TranslateSelectedText" for `text`, from automatic detection to the stored target language.
    void requestTranslation(const QString& text);

    bool showFloatingBar() const { return m_showFloatingBar; }
    QStringList excludedApps() const { return m_excludedApps; }

Q_SIGNALS:
    // A gesture's text is being read, and that read answered (whatever it found; a report it makes is
    // then queued): what is settled once every started read has finished.
    void readStarted();
    void readFinished();

private:
    void handleMouseEvent(const GlobalMouseEvent& event);
    void handleSelectionGesture(QPoint position);
    bool isOwnWindowAt(QPoint position) const;
    void deliver(const SelectedText& selection, QPoint position);

    AccessibilityService& m_reader;
    QPointer<GlobalMouseMonitor> m_monitor;
    bool m_showFloatingBar = true;
    QStringList m_excludedApps;

    // The gesture under way: set on press, read on release.
    bool m_buttonDown = false;
    QPoint m_pressPosition;
    // The application window the press landed in; none on frames, the desktop, docks or the bare screen.
    std::optional<RunningApplication> m_pressWindow;
    int m_pressClickCount = 0;
    // PRIMARY's change count at the first press of the current click run.
    int m_selectionChangeCountAtPress = 0;
    // Grows with every press; a read that finishes under an older value belongs to an outdated gesture.
    quint64 m_gesture = 0;

    QString m_lastText;
    QElapsedTimer m_lastTextTimer;
};
