// The seen-state store in the real registry of the test prefix, under
// HKEY_CURRENT_USER\Software\Vorna\Pelorin.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "services/seen_store.h"
#include "services/seen_store_internal.h"

namespace {

const char kKey[] = "Software\\Vorna\\Pelorin";
const char kDigest[] = "0123456789ABCDEF0123456789ABCDEF";

class SeenStore : public ::testing::Test {
protected:
    void SetUp() override {
        keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, RegKey().put()) == ERROR_SUCCESS;
    }
    void TearDown() override {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS) {
            for (const std::string& name : written_) RegDeleteValueA(key.get(), name.c_str());
        }
        key.reset();
        // Leave the registry as found: a key this test made goes again (only when empty).
        if (!keyExisted_) {
            RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
            RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vorna");
        }
    }
    // A value name of this test, removed afterwards.
    std::string Page(const std::string& path) {
        std::string name = "http://seen.test" + path;
        written_.push_back(name);
        return name;
    }
    // Writes a value as another tool would, bytes and type as given.
    void WriteRaw(const std::string& name, DWORD type, const std::string& bytes) {
        RegKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    // The stored type and size, read past the store.
    bool Stored(const std::string& name, DWORD* type, DWORD* size) {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
        return RegQueryValueExA(key.get(), name.c_str(), nullptr, type, nullptr, size) == ERROR_SUCCESS;
    }

    bool keyExisted_ = false;
    std::vector<std::string> written_;
};

TEST_F(SeenStore, RoundTripStoresTheDigestAsRegSz) {
    std::string page = Page("/round/trip.html");
    WriteSeenDigest(page, kDigest);
    EXPECT_EQ(ReadSeenDigest(page, "default"), kDigest);
    DWORD type = 0, size = 0;
    ASSERT_TRUE(Stored(page, &type, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // 32 bytes go in; the platform's conversion to UTF-16 adds the terminator it finds
    // missing, as Windows does, so the ANSI view reports 33.
    EXPECT_EQ(size, 33u);
    WriteSeenDigest(page, "FEDCBA9876543210FEDCBA9876543210");
    EXPECT_EQ(ReadSeenDigest(page, ""), "FEDCBA9876543210FEDCBA9876543210");
}

TEST_F(SeenStore, TheEmptyDigestIsAZeroLengthValueAndReadsEmpty) {
    std::string page = Page("/never/fetched");
    WriteSeenDigest(page, "");
    DWORD type = 0, size = 99;
    ASSERT_TRUE(Stored(page, &type, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(ReadSeenDigest(page, "default"), "");
}

TEST_F(SeenStore, AMissingValueReadsEmptyNotTheDefault) {
    WriteSeenDigest(Page("/other"), kDigest);  // the key exists
    EXPECT_EQ(ReadSeenDigest(Page("/never/written"), "default"), "");
}

TEST_F(SeenStore, AStoredTerminatorOrAnotherTypeReadsAsTheBytesUpToTheFirstNul) {
    std::string withNul = Page("/with/nul");
    WriteRaw(withNul, REG_SZ, std::string(kDigest) + '\0');
    EXPECT_EQ(ReadSeenDigest(withNul, "default"), kDigest);

    std::string binary = Page("/binary");
    WriteRaw(binary, REG_BINARY, std::string("AB\0CD", 5));
    EXPECT_EQ(ReadSeenDigest(binary, "default"), "AB");

    std::string dword = Page("/dword");
    WriteRaw(dword, REG_DWORD, std::string("ABC\0", 4));
    EXPECT_EQ(ReadSeenDigest(dword, "default"), "ABC");

    std::string expand = Page("/expand");
    WriteRaw(expand, REG_EXPAND_SZ, "%NOT_EXPANDED%");
    EXPECT_EQ(ReadSeenDigest(expand, "default"), "%NOT_EXPANDED%");

    // Japanese text in code page 932 survives the registry's own conversion.
    std::string japanese = Page("/japanese");
    WriteRaw(japanese, REG_SZ, "\x83\x63\x81\x5b\x83\x8b");
    EXPECT_EQ(ReadSeenDigest(japanese, ""), "\x83\x63\x81\x5b\x83\x8b");
}

// A key whose discretionary access list denies reading and writing values to everyone: the
// store can then neither open it for reading nor for writing.
class LockedKey {
public:
    LockedKey() {
        RegKey key;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        DWORD size = 0;
        RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        EXPECT_EQ(RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size),
                  ERROR_SUCCESS);
        PSECURITY_DESCRIPTOR denied = nullptr;
        // Deny query value (1) and set value (2) to everyone, allow the rest.
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:(D;;0x3;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &denied, nullptr));
        EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, denied), ERROR_SUCCESS);
        LocalFree(denied);
    }
    ~LockedKey() {
        RegKey key;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, WRITE_DAC, key.put()), ERROR_SUCCESS);
        EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data()), ERROR_SUCCESS);
    }

private:
    std::vector<BYTE> saved_;
};

TEST_F(SeenStore, AKeyThatCannotBeOpenedReadsTheDefaultAndIgnoresWrites) {
    std::string page = Page("/locked");
    WriteSeenDigest(page, kDigest);
    {
        LockedKey locked;
        RegKey probe;  // the platform really refuses: the lock is not a pretence
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, probe.put()), ERROR_ACCESS_DENIED);
        EXPECT_EQ(ReadSeenDigest(page, "default"), "default");
        EXPECT_EQ(ReadSeenDigest(Page("/locked/missing"), "other default"), "other default");
        WriteSeenDigest(page, "FEDCBA9876543210FEDCBA9876543210");
    }
    EXPECT_EQ(ReadSeenDigest(page, "default"), kDigest);  // the write did nothing
}

// The UI thread writing between the read's two queries, made to happen every time.
struct Race {
    SeenStore* test;
    std::string page;
    std::vector<std::string> writes;  // one per hook call; the last repeats
    int calls = 0;
};

void WriteBetweenQueries(void* context) {
    auto* race = static_cast<Race*>(context);
    size_t n = std::min<size_t>(race->calls, race->writes.size() - 1);
    ++race->calls;
    WriteSeenDigest(race->page, race->writes[n]);
}

TEST_F(SeenStore, AValueThatGrowsBetweenTheQueriesIsMeasuredAgain) {
    Race race{this, Page("/grows")};
    WriteSeenDigest(race.page, "");
    race.writes = {kDigest, kDigest};
    EXPECT_EQ(ReadSeenDigestWith(race.page, "default", WriteBetweenQueries, &race), kDigest);
    EXPECT_EQ(race.calls, 2);  // the first data query found it too big, the second fitted
}

TEST_F(SeenStore, AValueThatShrinksBetweenTheQueriesReadsItsNewText) {
    Race race{this, Page("/shrinks")};
    WriteSeenDigest(race.page, std::string(kDigest) + kDigest);
    race.writes = {"SHORT"};
    EXPECT_EQ(ReadSeenDigestWith(race.page, "default", WriteBetweenQueries, &race), "SHORT");
    EXPECT_EQ(race.calls, 1);
}

TEST_F(SeenStore, AValueThatKeepsGrowingReadsAsNeverSeenWithoutOverrunningTheBuffer) {
    Race race{this, Page("/keeps/growing")};
    WriteSeenDigest(race.page, "A");
    std::string text = "A";
    for (int i = 0; i < kSeenReadAttempts + 2; ++i) race.writes.push_back(text += std::string(1000, 'B'));
    EXPECT_EQ(ReadSeenDigestWith(race.page, "default", WriteBetweenQueries, &race), "");
    EXPECT_EQ(race.calls, kSeenReadAttempts);
}

TEST_F(SeenStore, AValueRemovedBetweenTheQueriesReadsEmpty) {
    Race race{this, Page("/removed")};
    WriteSeenDigest(race.page, kDigest);
    auto remove = [](void* context) {
        RegKey key;
        RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, key.put());
        RegDeleteValueA(key.get(), static_cast<Race*>(context)->page.c_str());
    };
    EXPECT_EQ(ReadSeenDigestWith(race.page, "default", remove, &race), "");
}

}  // namespace
