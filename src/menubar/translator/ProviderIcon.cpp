#include "menubar/translator/ProviderIcon.h"

#include "ui/ImageAsset.h"

QString ProviderIcon::assetName(TranslationService service) {
    return QStringLiteral("icon-") + rawValue(service);
}

bool ProviderIcon::isWhiteTemplate(TranslationService service, bool dark) {
    return dark && (service == TranslationService::ChatGPT || service == TranslationService::DeepL);
}

QPixmap ProviderIcon::pixmap(TranslationService service, bool dark, qreal devicePixelRatio) {
    const QSize size(side, side);
    if (isWhiteTemplate(service, dark))
        return ImageAsset::templatePixmap(assetName(service), size, Qt::white, devicePixelRatio);
    return ImageAsset::pixmap(assetName(service), size, devicePixelRatio);
}
