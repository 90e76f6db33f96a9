#pragma once

// Whether a compositing manager draws the desktop, so that translucent windows really show what lies
// behind them. Without one, windows are shaped with a mask and painted opaque.
class Compositor {
public:
    static bool isRunning();
};
