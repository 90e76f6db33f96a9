#pragma once

#include "DevApiServer.h"

#include <gtest/gtest.h>

// A fixture whose suite shares one running quillora-dev-api; every test starts with no scripted
// failures, an empty request log, and the user defaults pointing at the server.
class DevApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_api = new DevApiServer;
        ASSERT_TRUE(s_api->start());
    }
    static void TearDownTestSuite() {
        delete s_api;
        s_api = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_api && s_api->isRunning());
        ASSERT_TRUE(s_api->resetFailures());
        s_api->clearRequestLog();
        s_api->useAsApiBase();
    }

    static inline DevApiServer* s_api = nullptr;
};
