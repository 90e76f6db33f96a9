#pragma once

#include "platform/LanguageRecognizer.h"

#include <QString>
#include <memory>

// Language recognition (CLD2 and its tables) lives in a module of its own, loaded with the first text to
// recognise, so that start-up neither maps nor relocates it.
class LanguageModule {
public:
    // Next to the executable, as the build and an installation place it.
    static QString defaultPath();

    // A recogniser from the module, or null when it cannot be loaded (logged).
    static std::unique_ptr<LanguageRecognizer> createRecognizer(const QString& modulePath = defaultPath());
};

// The module's recogniser, loaded the first time a text is given; without the module it recognises
// nothing, and it does not try again.
class LanguageRecognizerOnDemand : public LanguageRecognizer {
public:
    explicit LanguageRecognizerOnDemand(QString modulePath = LanguageModule::defaultPath());
    ~LanguageRecognizerOnDemand() override;

    QString dominantLanguage(const QString& text, const QStringList& hints) const override;

private:
    QString m_modulePath;
    mutable std::unique_ptr<LanguageRecognizer> m_recognizer;
    mutable bool m_tried = false;
};
