#include "platform/HostAddress.h"
#include "platform/NetworkModule.h"

#include <gtest/gtest.h>

TEST(NetworkModuleTest, LoadsFromItsPathOnDemandAndAMissingModuleMeansNoClient) {
    QObject owner;
    EXPECT_EQ(NetworkModule::createClient(&owner, QStringLiteral("/nonexistent/libquillora-network.so")), nullptr);
    HttpClient* client = NetworkModule::createClient(&owner, QStringLiteral(QUILLORA_NETWORK_MODULE_PATH));
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->parent(), &owner);
}

// Plain http is allowed to loopback only, so nothing else may pass for it.
TEST(NetworkModuleTest, LoopbackHostsInEveryWrittenForm) {
    for (const char* host : {"localhost", "LocalHost", "127.0.0.1", "127.1", "127.255.255.254", "0x7f000001",
                             "::1", "0:0:0:0:0:0:0:1", "::ffff:127.0.0.1"})
        EXPECT_TRUE(isLoopbackHost(QString::fromLatin1(host))) << host;
    for (const char* host : {"", "0", "128.0.0.1", "126.255.255.255", "10.0.0.1", "0.0.0.0", "::", "::2",
                             "::ffff:10.0.0.1", "localhost.example.com", "127.0.0.1.example.com", "127.0.0.1 x",
                             "127.0.0.1\tx", "example.com"})
        EXPECT_FALSE(isLoopbackHost(QString::fromLatin1(host))) << host;
}
