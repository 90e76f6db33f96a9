// The entry point of the language module, which alone links CLD2 and its tables; the application loads it
// with the first text it recognises.
#include "platform/cld2/Cld2LanguageRecognizer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT LanguageRecognizer* quilloraLanguageCreateRecognizer() {
    return new Cld2LanguageRecognizer;
}
