#pragma once

#include "services/TranslationService.h"

#include <QPixmap>
#include <QString>

// The provider icons of the service button and the service picker. In dark appearance the ChatGPT and
// DeepL marks are drawn as white templates; the others keep their colours.
class ProviderIcon {
public:
    static constexpr int side = 16;

    // "icon-google", "icon-chatgpt", ...
    static QString assetName(TranslationService service);
    static bool isWhiteTemplate(TranslationService service, bool dark);
    static QPixmap pixmap(TranslationService service, bool dark, qreal devicePixelRatio);
};
