// Test entry: a QApplication, a private settings file, and a fresh fake platform for every test.
#include "FakePlatform.h"

#include "platform/NetworkModule.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class FreshPlatformListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        installPlatform(std::make_unique<FakePlatform>());
        UserDefaults::standard().resetForTesting();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        // Let deferred deletions and queued calls of this test finish before the next one starts.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
};

} // namespace

// Sanitizer settings of every test run. ctest's test discovery passes only the first variable of a
// test's ENVIRONMENT, so they are built in here.
extern "C" const char* __lsan_default_options() {
    return "suppressions=" QUILLORA_SOURCE_DIR "/tests/lsan.supp:print_suppressions=0";
}
#ifdef QUILLORA_TESTS_PLAY_SOUND
// The sound stack's libraries are built without frame pointers: the fast unwinder reads garbage frames
// through them, so what they leave at exit is reported under no library's name and no suppression
// matches. The full unwinder names them, at a cost only these tests pay.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
#endif
extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// Libraries stay loaded until the process ends. What one leaves behind is reported at the exit, and for
// a library already unloaded (an audio backend that one of the sound stack's libraries tried and let go)
// the report names no library, which no suppression by library name can match.
extern "C" int dlclose(void*) noexcept {
    return 0;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

#ifdef QUILLORA_X11_TESTS
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "These tests need an X11 display; run them through scripts/test.sh (xvfb-run).\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
#else
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif

    // Without a session bus, Qt's accessibility bridge in every program started here (the app, the capture
    // tool, the test clients) would have one launched for the display, forking inside a threaded and
    // sanitized process; now and then the child hangs before it runs dbus-launch, and the program with it.
    // No session bus at all, then: a test that needs one starts its own.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null/no-session-bus");
    if (qEnvironmentVariableIsEmpty("QT_ASSUME_STDERR_HAS_CONSOLE"))
        qputenv("QT_ASSUME_STDERR_HAS_CONSOLE", "1");
    // Programs the tests start (tools, test clients) are sanitized too and inherit the same settings.
    if (qEnvironmentVariableIsEmpty("LSAN_OPTIONS"))
        qputenv("LSAN_OPTIONS", __lsan_default_options());
    if (qEnvironmentVariableIsEmpty("UBSAN_OPTIONS"))
        qputenv("UBSAN_OPTIONS", __ubsan_default_options());

    // Nothing a test writes may reach the user's own configuration.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    UserDefaults::setStandardFilePath(home.filePath(QStringLiteral("Quillora/Quillora.conf")));

    // The test executables live away from the application and its modules.
    NetworkModule::setDefaultPathForTesting(QStringLiteral(QUILLORA_NETWORK_MODULE_PATH));

    QApplication app(argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPlatformListener);
    const int result = RUN_ALL_TESTS();
    // The settings' last writes land while their folder is still there.
    UserDefaults::setStandardFilePath(home.filePath(QStringLiteral("Quillora/Quillora.conf")));
    installPlatform(nullptr);
    return result;
}
