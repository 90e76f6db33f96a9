#include "platform/DebugLog.h"

#ifdef QUILLORA_DEBUG_LOG
#include <cstdio>

void debugLog(const QString& tag, const QString& message) {
    const QByteArray line = QStringLiteral("[%1] %2\n").arg(tag, message).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}
#endif
