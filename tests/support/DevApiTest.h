#pragma once

#include "DevApiServer.h"
#include "services/WebApiClient.h"

#include <gtest/gtest.h>

// Web requests sent while one lives time out after `ms`: a test that checks that a dropped request
// changes nothing runs the queued work of that delay (runQueuedWork(ms)), by which the request, had it
// lived on, has ended with its answer or its time-out.
class WebTimeout {
public:
    explicit WebTimeout(int ms) { WebApiClient::setTimeoutOverrideForTesting(ms); }
    ~WebTimeout() { WebApiClient::setTimeoutOverrideForTesting(std::nullopt); }
    WebTimeout(const WebTimeout&) = delete;
    WebTimeout& operator=(const WebTimeout&) = delete;
};

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
