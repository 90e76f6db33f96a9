#pragma once

#include <QString>

// The user's preferred language as a code of the language table (e.g. "en", "iw", "zh-tw"); "en" when
// the system names none or one the table does not have. Computed once.
QString systemLanguageCode();

// The table code for a locale name such as "he_IL", "zh-Hant-HK" or "nb-NO"; "en" when there is none.
QString languageCodeForLocaleName(const QString& localeName);
