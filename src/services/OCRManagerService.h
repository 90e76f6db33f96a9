#pragma once

#include <QString>
#include <functional>
#include <optional>

// The OCR entry point of the menu-bar translator: closes the popover, lets the user pick a region and
// returns its text, which also goes onto the clipboard. Stateless; copies may come and go freely.
class OCRManagerService {
public:
    // No text on cancel, on any failure and when nothing was recognised.
    using Completion = std::function<void(std::optional<QString> text)>;

    // Time for the popover to get off the screen before the screen is frozen for the capture.
    static constexpr int captureDelayMs = 500;

    // The completion runs exactly once, on the main thread.
    void performOCR(Completion completion) const;
};
