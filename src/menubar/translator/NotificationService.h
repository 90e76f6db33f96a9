#pragma once

// Posts the notices of the translator's children: the language swap and the input's focus changes.
class NotificationService {
public:
    // "TextFieldDidBecomeActive" when `active`, else "TextFieldDidResignActive"; no payload.
    void postTextFieldActive(bool active) const;
    // "SwapTranslation" {"isManualSwap": true}.
    void postSwapTranslation() const;
};
