#include "app/StateReport.h"

#include <QtGlobal>
#include <cstdio>

void StateReport::report(const char* state) {
    static const bool wanted = qEnvironmentVariableIsSet("QUILLORA_REPORT_STATE");
    if (!wanted)
        return;
    std::printf("quillora: %s\n", state);
    std::fflush(stdout);
}
