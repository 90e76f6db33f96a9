#pragma once

#include "platform/KeyEventPoster.h"

#include <cstdint>

// Synthetic key presses through the XTest extension on Qt's own X connection, resolved against the
// keyboard mapping in force at the moment of posting.
class X11KeyEventPoster : public KeyEventPoster {
    Q_OBJECT
public:
    using KeyEventPoster::KeyEventPoster;

    bool postKey(int qtKey, Qt::KeyboardModifiers modifiers) override;

    // The X keysym a Qt key produces without Shift (letters give their lower case); 0 when there is none.
    static std::uint32_t keysymForQtKey(int qtKey);
};
