#include "settings/UpdateChecks.h"

#include <QPointer>

namespace {

QPointer<UpdateChecks>& current() {
    static QPointer<UpdateChecks> checks;
    return checks;
}

} // namespace

UpdateChecks* UpdateChecks::installed() {
    return current();
}

void UpdateChecks::install(UpdateChecks* checks) {
    current() = checks;
}
