#pragma once

#include <QAbstractNativeEventFilter>
#include <QPoint>
#include <optional>

// Remembers where the X server saw the last left-button press and release, in physical root-window
// pixels. Qt hands widgets device-independent positions rounded to whole units, which with a scale
// factor above 1 can be a physical pixel off; the crop uses these exact positions instead.
class NativePointerTracker : public QAbstractNativeEventFilter {
public:
    NativePointerTracker();
    ~NativePointerTracker() override;

    // The position of the press or release delivered with this server timestamp, when one was seen.
    std::optional<QPoint> pressAt(ulong timestamp) const;
    std::optional<QPoint> releaseAt(ulong timestamp) const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Sample {
        ulong timestamp = 0;
        QPoint position;
        bool valid = false;
    };
    void record(bool press, int button, ulong timestamp, QPoint position);

    Sample m_press;
    Sample m_release;
    int m_xinputOpcode = -1;
};
