#include "platform/LoadableModule.h"

#include "platform/DebugLog.h"

#include <QLibrary>

std::optional<std::vector<QFunctionPointer>> loadModuleEntryPoints(const QString& tag, const QString& path,
                                                                   std::initializer_list<const char*> names) {
    QLibrary library(path);
    if (!library.load()) {
        debugLog(tag, QStringLiteral("❌ ") + library.errorString());
        return std::nullopt;
    }
    std::vector<QFunctionPointer> entryPoints;
    for (const char* name : names) {
        entryPoints.push_back(library.resolve(name));
        if (!entryPoints.back()) {
            debugLog(tag, QStringLiteral("❌ %1 missing in %2").arg(QLatin1String(name), path));
            return std::nullopt;
        }
    }
    return entryPoints;
}
