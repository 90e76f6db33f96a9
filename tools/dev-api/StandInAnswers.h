#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The deterministic answers of the stand-in.
namespace StandInAnswers {

// A recognisable translation: a small en/tr/de word list, otherwise "[<target>] <text>". Single words
// also get alternatives with back-translations, example sentences, phonetics, corrections and polysemy.
QJsonObject translate(const QString& text, const QString& sourceLanguage, const QString& targetLanguage);

QJsonObject rewrite(const QString& text, const QString& style, const QString& provider);

// The fixed text every OCR request is answered with.
QString recognisedText();

// A short mono 16-bit PCM WAV tone (longer when slow).
QByteArray speechWav(bool slow);

} // namespace StandInAnswers
