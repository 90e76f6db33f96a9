#include "platform/NetworkModule.h"

#include "platform/LoadableModule.h"

#include <QCoreApplication>

namespace {

using CreateClient = HttpClient* (*)(QObject* parent);

QString& pathForTesting() {
    static QString path;
    return path;
}

} // namespace

QString NetworkModule::defaultPath() {
    if (!pathForTesting().isEmpty())
        return pathForTesting();
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libquillora-network.so");
}

void NetworkModule::setDefaultPathForTesting(const QString& path) {
    pathForTesting() = path;
}

HttpClient* NetworkModule::createClient(QObject* parent, const QString& modulePath) {
    const auto entryPoints =
        loadModuleEntryPoints(QStringLiteral("NetworkModule"), modulePath, {"quilloraNetworkCreateClient"});
    return entryPoints ? reinterpret_cast<CreateClient>(entryPoints->front())(parent) : nullptr;
}
