#include "platform/AudioModule.h"

#include "platform/LoadableModule.h"

#include <QCoreApplication>

namespace {

using HasOutputDevice = bool (*)();
using CreatePlayer = AudioPlayer* (*)();

struct Loaded {
    QString path;
    HasOutputDevice hasOutputDevice = nullptr;
    CreatePlayer createPlayer = nullptr;
};

const Loaded* loadModule(const QString& path) {
    static Loaded loaded;
    if (loaded.createPlayer && loaded.path == path)
        return &loaded;
    const auto entryPoints = loadModuleEntryPoints(QStringLiteral("AudioModule"), path,
                                                   {"quilloraAudioHasOutputDevice", "quilloraAudioCreatePlayer"});
    if (!entryPoints)
        return nullptr;
    loaded.hasOutputDevice = reinterpret_cast<HasOutputDevice>(entryPoints->at(0));
    loaded.createPlayer = reinterpret_cast<CreatePlayer>(entryPoints->at(1));
    loaded.path = path;
    return &loaded;
}

} // namespace

QString AudioModule::defaultPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libquillora-audio.so");
}

bool AudioModule::load(const QString& modulePath) {
    return loadModule(modulePath) != nullptr;
}

std::unique_ptr<AudioPlayer> AudioModule::createPlayer(const QString& modulePath) {
    const Loaded* module = loadModule(modulePath);
    if (!module || !module->hasOutputDevice())
        return nullptr;
    return std::unique_ptr<AudioPlayer>(module->createPlayer());
}
