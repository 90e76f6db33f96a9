#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

class QClipboard;

// The server role of the capture tool: owns the clipboard with one image and answers paste requests for
// it until another client takes the clipboard, then exits. Started detached by ClipboardHandOff, with
// the PNG bytes on stdin; writes `readyByte` to stdout once it owns the clipboard.
class ClipboardServer : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static constexpr const char* roleVariable = "QUILLORA_SCREENCAPTURE_ROLE";
    static constexpr const char* serverRole = "clipboard-server";
    static constexpr char readyByte = '1';

    static bool isServerProcess();
    static int run(int argc, char** argv);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    explicit ClipboardServer(QClipboard& clipboard);
    ~ClipboardServer() override;
    void onClipboardChanged();

    QClipboard& m_clipboard;
    uint32_t m_clipboardAtom = 0;
};
