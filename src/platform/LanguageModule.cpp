#include "platform/LanguageModule.h"

#include "platform/LoadableModule.h"

#include <QCoreApplication>
#include <utility>

namespace {

using CreateRecognizer = LanguageRecognizer* (*)();

} // namespace

QString LanguageModule::defaultPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libquillora-language.so");
}

std::unique_ptr<LanguageRecognizer> LanguageModule::createRecognizer(const QString& modulePath) {
    const auto entryPoints = loadModuleEntryPoints(QStringLiteral("LanguageModule"), modulePath,
                                                   {"quilloraLanguageCreateRecognizer"});
    if (!entryPoints)
        return nullptr;
    return std::unique_ptr<LanguageRecognizer>(reinterpret_cast<CreateRecognizer>(entryPoints->front())());
}

LanguageRecognizerOnDemand::LanguageRecognizerOnDemand(QString modulePath)
    : m_modulePath(std::move(modulePath)) {}

LanguageRecognizerOnDemand::~LanguageRecognizerOnDemand() = default;

QString LanguageRecognizerOnDemand::dominantLanguage(const QString& text, const QStringList& hints) const {
    if (!m_tried) {
        m_tried = true;
        m_recognizer = LanguageModule::createRecognizer(m_modulePath);
    }
    return m_recognizer ? m_recognizer->dominantLanguage(text, hints) : QString();
}
