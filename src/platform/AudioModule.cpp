#include "platform/AudioModule.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QLibrary>

namespace {

using HasOutputDevice = bool (*)();
using CreatePlayer = AudioPlayer* (*)();

struct Loaded {
    QString path;
    HasOutputDevice hasOutputDevice = nullptr;
    CreatePlayer createPlayer = nullptr;
};

// Loaded once and never unloaded: players it made may outlive any owner.
const Loaded* loadModule(const QString& path) {
    static Loaded loaded;
    if (loaded.createPlayer && loaded.path == path)
        return &loaded;
    QLibrary library(path);
    if (!library.load()) {
        debugLog(QStringLiteral("AudioModule"), QStringLiteral("❌ ") + library.errorString());
        return nullptr;
    }
    loaded.hasOutputDevice = reinterpret_cast<HasOutputDevice>(library.resolve("quilloraAudioHasOutputDevice"));
    loaded.createPlayer = reinterpret_cast<CreatePlayer>(library.resolve("quilloraAudioCreatePlayer"));
    if (!loaded.hasOutputDevice || !loaded.createPlayer) {
        debugLog(QStringLiteral("AudioModule"), QStringLiteral("❌ entry points missing in ") + path);
        loaded = {};
        return nullptr;
    }
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
