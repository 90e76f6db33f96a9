#include "FakePlatform.h"
#include "platform/x11/LinuxDeviceIdentity.h"
#include "services/AppVersion.h"
#include "services/DeviceInfoService.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

TEST(LinuxDeviceIdentity, SendsAnApplicationSpecificHashOfTheMachineIdNeverTheIdItself) {
    const QString machineId = QStringLiteral("6f9619ff8b86d011b42d00c04fc964ff");
    const std::optional<QString> id = LinuxDeviceIdentity::applicationSpecificId(machineId + "\n");
    ASSERT_TRUE(id);
    // Pinned: a change would give every user a new device id.
    EXPECT_EQ(*id, "68EEF67F-171E-4368-9A2B-413936D62208");
    EXPECT_EQ(QUuid(*id).version(), QUuid::Random);
    EXPECT_FALSE(QString(*id).remove(QLatin1Char('-')).contains(machineId, Qt::CaseInsensitive));
    EXPECT_EQ(LinuxDeviceIdentity::applicationSpecificId(machineId.toUpper()), id);
    EXPECT_FALSE(LinuxDeviceIdentity::applicationSpecificId(""));
    EXPECT_FALSE(LinuxDeviceIdentity::applicationSpecificId("6f9619ff8b86d011b42d00c04fc964f"));
    EXPECT_FALSE(LinuxDeviceIdentity::applicationSpecificId("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_FALSE(LinuxDeviceIdentity::applicationSpecificId("zz9619ff8b86d011b42d00c04fc964ff"));
}

TEST(LinuxDeviceIdentity, ReadsTheFirstUsableFileAndTheProductName) {
    QTemporaryDir dir;
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    const QString empty = write("empty-id", "");
    const QString good = write("machine-id", "0123456789abcdef0123456789abcdef\n");
    const QString product = write("product_name", "ThinkPad X1\n");
    LinuxDeviceIdentity identity({dir.filePath("missing"), empty, good}, product);
    EXPECT_EQ(identity.platformUUID(), "22304CBF-76D1-4D69-94E3-66FBC2A01B0F");
    EXPECT_EQ(identity.modelIdentifier(), "ThinkPad X1");
    EXPECT_FALSE(identity.hostName().isEmpty());

    LinuxDeviceIdentity unreadable({dir.filePath("missing")}, dir.filePath("missing"));
    EXPECT_FALSE(unreadable.platformUUID());
    EXPECT_FALSE(unreadable.modelIdentifier().isEmpty());
}

TEST(DeviceInfoService, ReadsTheIdentifierAfreshAndFallsBackToARandomUuid) {
    FakeDeviceIdentity& identity = fakePlatform().fakeDeviceIdentity();
    EXPECT_EQ(DeviceInfoService::shared().deviceIdentifier(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    identity.uuid = "11111111-2222-3333-4444-555555555555";
    EXPECT_EQ(DeviceInfoService::shared().deviceIdentifier(), "11111111-2222-3333-4444-555555555555");

    identity.uuid = std::nullopt;
    const QString first = DeviceInfoService::shared().deviceIdentifier();
    const QString second = DeviceInfoService::shared().deviceIdentifier();
    EXPECT_FALSE(QUuid(first).isNull()) << qPrintable(first);
    EXPECT_EQ(first, first.toUpper());
    EXPECT_NE(first, second);
    EXPECT_NO_FATAL_FAILURE(DeviceInfoService::shared().printDeviceInfo());
}

// The same source as a release build compiles it, beside the library's debug one.
namespace release_build {
#pragma push_macro("QUILLORA_DEBUG_LOG")
#undef QUILLORA_DEBUG_LOG
#include "../../src/services/AppVersion.cpp"
#pragma pop_macro("QUILLORA_DEBUG_LOG")
} // namespace release_build

TEST(AppVersion, IsTheProjectVersionAndPrintsItsLineInEveryBuild) {
    testing::internal::CaptureStdout();
    const QString version = getAppVersion();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(version, QStringLiteral(QUILLORA_VERSION));
    EXPECT_FALSE(version.isEmpty());
    const std::string line =
        "DEBUG: Reading CFBundleShortVersionString from Info.plist: " + version.toStdString() + "\n";
    EXPECT_EQ(printed, line);

    testing::internal::CaptureStdout();
    EXPECT_EQ(release_build::getAppVersion(), version);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line);
}
