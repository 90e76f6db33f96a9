#include "services/AppVersion.h"

#include <cstdio>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION ""
#endif

QString getAppVersion() {
    QString version = QStringLiteral(QUILLORA_VERSION).trimmed();
    if (version.isEmpty())
        version = QStringLiteral("1.0.0");
    // A diagnostic line, printed on every request: debug builds only.
#ifdef QUILLORA_DEBUG_LOG
    const QByteArray line = QStringLiteral("DEBUG: Reading CFBundleShortVersionString from Info.plist: %1\n")
                                .arg(version)
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
#endif
    return version;
}
