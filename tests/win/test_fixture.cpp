// The platform's HTTP client against the HTTP fixture: the ground the fetcher's tests stand on.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include "common/unique_handle.h"
#include "support/test_env.h"

TEST(Fixture, ServesAPageToWinInetAndLogsTheRequest) {
    REQUIRE_FIXTURE();
    FixtureGet("/_ctl/clear");
    InternetHandle root(InternetOpenA("fixture-check", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ASSERT_TRUE(root);
    InternetHandle connection(InternetConnectA(root.get(), "fixture.test", 80, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    ASSERT_TRUE(connection);
    InternetHandle request(HttpOpenRequestA(connection.get(), "GET", "/plain", "HTTP/1.0", nullptr,
                                            nullptr, INTERNET_FLAG_RELOAD, 0));
    ASSERT_TRUE(request);
    ASSERT_TRUE(HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
    char body[256] = "";
    DWORD read = 0;
    ASSERT_TRUE(InternetReadFile(request.get(), body, sizeof body - 1, &read));
    EXPECT_EQ(std::string(body, read), "hello from the fixture\n");

    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(log[0].Header("User-Agent"), "fixture-check");
}
