#include "services/AppVersion.h"

#include <cstdio>

#ifndef QUILLORA_VERSION
#define QUILLORA_VERSION ""
#endif

namespace {

QString versionOrFallback(const QString& buildVersion) {
    const QString version = buildVersion.trimmed();
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}

} // namespace

QString appVersionFromBuild(const QString& buildVersion) {
    return versionOrFallback(buildVersion);
}

QString getAppVersion() {
    const QString version = versionOrFallback(QStringLiteral(QUILLORA_VERSION));
    const QByteArray line = QStringLiteral("DEBUG: Reading CFBundleShortVersionString from Info.plist: %1\n")
                                .arg(version)
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return version;
}
