#pragma once

#include "platform/GlobalMouseMonitor.h"
#include "services/TranslationService.h"
#include "ui/PopoverWindow.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <memory>

class TranslationPopoverView;

// The translation popover of a shortcut, shown at the pointer over whatever application is in front,
// without taking the focus: centred 225 points left of the pointer, so that it leaves what lies right of
// the pointer uncovered, and above it, below only within 340 points of the screen's top; always whole on
// the pointer's screen. It closes on Escape in this application, on a press in another application (not in
// any window of ours) and when told; its key filter and mouse monitor live only while it is shown.
class PointerTranslationPopover : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 450;
    static constexpr int height = 350;
    static constexpr int viewHeight = 300;
    // How far the popover's near edge lies beyond the pointer, and how far left its middle.
    static constexpr int pointerGap = 15;
    static constexpr int leftShift = width / 2;
    static constexpr int screenMargin = 20;

    PointerTranslationPopover(const QString& text, const QString& source, const QString& target,
                              TranslationService service, QObject* parent = nullptr);
    ~PointerTranslationPopover() override;

    void showAt(QPoint pointer);
    void close();
    bool isShown() const;

    // The point the popover opens from and the side of it on which it opens, for a pointer on `screen`.
    struct Anchor {
        QRect rect;
        PopoverWindow::Edge edge;
    };
    static Anchor anchorFor(QPoint pointer, const QRect& screen);

    PopoverWindow* window() const { return m_window; }
    TranslationPopoverView* view() const { return m_view; }
    bool hasMonitors() const { return m_mouseMonitor != nullptr || m_keyFilterInstalled; }

Q_SIGNALS:
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handleClosed();
    void removeMonitors();
    bool isOwnWindowAt(QPoint position) const;

    QPointer<PopoverWindow> m_window;
    TranslationPopoverView* m_view = nullptr;
    std::unique_ptr<GlobalMouseMonitor> m_mouseMonitor;
    bool m_keyFilterInstalled = false;
};
