// The whole band watching the fixture's hostile corpus, with the fetch deadline shortened
// through its environment seam: one pass gets through every page, each failed page shows
// Seen and leaves the seen-state store alone, a normal page after them is still checked, and
// the library can go soon after the band has closed. A program of its own, because what the
// platform keeps doing for the pages given up on runs on until the process ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "band_host.h"
#include "support/hostile_corpus.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

enum { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };
constexpr DWORD kDeadline = 2000;

std::string PageAddressOf(const char* path) { return std::string("http://fixture.test") + path; }

TEST(HostilePages, OnePassGetsThroughThemAllAndTheBandCanGoWithinTheDeadline) {
    REQUIRE_FIXTURE();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FixtureGet("/_ctl/reset");
    FixtureGet("/_ctl/hostile-cap/6");
    ClearSeenStore();
    SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", std::to_string(kDeadline).c_str());

    std::vector<const char*> paths;
    for (size_t i = 0; i < kHostileCount; ++i) paths.push_back(kHostile[i].path);
    paths.push_back(kManyHeadersPath);
    std::string items;
    for (size_t i = 0; i < paths.size(); ++i) {
        items += "item" + std::to_string(i + 1) + "=Hostile " + std::to_string(i) + ",0," +
                 PageAddressOf(paths[i]) + "\r\n";
    }
    const int normal = static_cast<int>(paths.size());
    items += "item" + std::to_string(normal + 1) + "=Normal,0,http://pages.test/page/a\r\n";
    WriteAppDataIni("[watch]\r\n" + items);
    ASSERT_EQ(FixturePost("/_ctl/set/a", "a normal page").status, 200);

    auto host = std::make_unique<BandHost>(HostMode::Browser);
    ASSERT_EQ(host->CreateBand(), S_OK);
    HWND toolbar = FindWatchToolbar(host->bandWindow());
    ASSERT_NE(toolbar, nullptr);
    ASSERT_EQ(ButtonCount(toolbar), normal + 2);  // and the built-in item

    // A hang guard: a page that held its fetch would hold every later button on Pending.
    ASSERT_TRUE(PumpUntil([&] { return ButtonImageAt(toolbar, normal) == Changed; },
                          static_cast<DWORD>(paths.size()) * (kDeadline + 1000)))
        << "the pass never reached the normal page after the hostile ones";
    for (size_t i = 0; i < kHostileCount; ++i) {
        int image = ButtonImageAt(toolbar, static_cast<int>(i));
        switch (kHostile[i].outcome) {
        case Outcome::Fails: EXPECT_EQ(image, Seen) << kHostile[i].path; break;
        case Outcome::Body: EXPECT_EQ(image, Changed) << kHostile[i].path; break;
        case Outcome::Either:
            EXPECT_TRUE(image == Seen || image == Changed) << kHostile[i].path << ": " << image;
        }
    }
    EXPECT_EQ(ButtonImageAt(toolbar, normal - 1), Seen) << kManyHeadersPath;
    // The worker never writes the store; only opening a page does.
    for (const char* path : paths) EXPECT_FALSE(StoredSeenValue(PageAddressOf(path), nullptr)) << path;

    host->CloseBand();
    EXPECT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, kDeadline + 1000));
    host.reset();
    FixtureGet("/_ctl/hostile-cap/10");
    SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", nullptr);
    RemoveAppDataIni();
    ClearSeenStore();
    CoUninitialize();
}

}  // namespace
