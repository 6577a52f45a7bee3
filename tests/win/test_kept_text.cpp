// The kept text of pages compared by their text, in the real %LOCALAPPDATA%\Pelorin of the
// test's prefix: written, read back for its own digest only, replaced and removed; any
// address as a file name; the cap; a folder that is not there; and the latest text made the
// kept one only for the digest the user saw.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <iterator>
#include <string>
#include <vector>

#include "services/kept_text.h"
#include "support/test_env.h"

namespace {

using namespace std::string_literals;

const char kPage[] = "http://pages.test/news.html";
const char kFirst[] = "E9E2371570DAEC2E7B70FAA4F0F1EAB8";
const char kSecond[] = "0D6BE4C0E6F1D8C4C3B5A8A3F4E5D6C7";

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }  // ASCII paths

std::vector<std::string> FilesInFolder() {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((KeptTextFolder() + L"\\*.*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        if (found.cFileName[0] != L'.') names.push_back(Narrow(found.cFileName));
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return names;
}

void RemoveFolder() {
    for (const std::string& name : FilesInFolder()) DeleteFileA((Narrow(KeptTextFolder()) + "\\" + name).c_str());
    RemoveDirectoryW(KeptTextFolder().c_str());
}

std::string Kept(const std::string& address, const std::string& digest) {
    std::string text = "(none)";
    ReadKeptText(address, digest, &text);
    return text;
}

class KeptText : public ::testing::Test {
protected:
    void SetUp() override { RemoveFolder(); }
    void TearDown() override { RemoveFolder(); }
};

}  // namespace

TEST_F(KeptText, IsReadBackForItsOwnDigestOnlyThenReplacedAndRemoved) {
    wchar_t local[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    EXPECT_EQ(KeptTextFolder(), std::wstring(local) + L"\\Pelorin");

    // Bytes as they are: UTF-8, a NUL, CR LF.
    const std::string text = "ニュース\n新しい見出し\r\nnul\0here"s;
    ASSERT_TRUE(KeepSeenText(kPage, kFirst, text));
    EXPECT_EQ(Kept(kPage, kFirst), text);
    EXPECT_TRUE(HasKeptText(kPage, kFirst));
    EXPECT_FALSE(HasKeptText(kPage, kSecond));
    EXPECT_EQ(Kept(kPage, kSecond), "(none)");
    EXPECT_EQ(Kept("http://pages.test/other.html", kFirst), "(none)");

    ASSERT_TRUE(KeepSeenText(kPage, kSecond, "second"));
    EXPECT_EQ(Kept(kPage, kSecond), "second");
    EXPECT_EQ(Kept(kPage, kFirst), "(none)");
    ASSERT_TRUE(KeepSeenText(kPage, kSecond, ""));  // an empty page has a text too
    EXPECT_EQ(Kept(kPage, kSecond), "");
    // A digest that could not stand on its line is refused.
    EXPECT_FALSE(KeepSeenText(kPage, "", "x"));
    EXPECT_FALSE(KeepSeenText(kPage, "A\nB", "x"));

    ASSERT_TRUE(KeepLatestText(kPage, kFirst, "latest"));
    EXPECT_EQ(FilesInFolder().size(), 2u) << "no file of a write is left behind";
    RemoveKeptText(kPage);
    EXPECT_EQ(Kept(kPage, kSecond), "(none)");
    EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(KeptText, AnyAddressGivesAFileNameOfItsOwn) {
    std::string longAddress = "http://pages.test/";
    while (longAddress.size() < 5000) longAddress += "\x95\x5C\x83\x5C/?*:<>|\"..\\";  // 表ソ and what a name cannot hold
    const std::string addresses[] = {kPage, longAddress, "", "http://h/\\..\\..\\x", "con", "http://h/a\0b"s};
    for (const std::string& address : addresses) {
        ASSERT_TRUE(KeepSeenText(address, kFirst, "text of " + address)) << address.size();
    }
    for (const std::string& address : addresses) EXPECT_EQ(Kept(address, kFirst), "text of " + address);
    std::vector<std::string> names = FilesInFolder();
    ASSERT_EQ(names.size(), std::size(addresses));
    for (const std::string& name : names) {
        ASSERT_EQ(name.size(), 36u) << name;
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF"), 32u) << name;
        EXPECT_EQ(name.substr(32), ".txt");
    }
}

TEST_F(KeptText, ATextOverTheCapIsNotKeptAndTakesTheStaleOneAway) {
    std::string full(kKeptTextCap, 'x');
    ASSERT_TRUE(KeepSeenText(kPage, kFirst, full));
    EXPECT_EQ(Kept(kPage, kFirst), full);
    EXPECT_FALSE(KeepSeenText(kPage, kSecond, full + "y"));
    EXPECT_EQ(Kept(kPage, kFirst), "(none)");
    EXPECT_TRUE(FilesInFolder().empty());

    ASSERT_TRUE(KeepLatestText(kPage, kFirst, "small"));
    EXPECT_FALSE(KeepLatestText(kPage, kSecond, full + "y"));
    EXPECT_FALSE(PromoteLatestText(kPage, kFirst)) << "the latest text over the cap was removed";

    // A file grown past the cap by someone else is not read.
    ASSERT_TRUE(KeepSeenText(kPage, kFirst, "x"));
    std::wstring path = KeptTextPath(kPage);
    WriteBytes(Narrow(path), std::string(kFirst) + "\n" + full + "y");
    EXPECT_EQ(Kept(kPage, kFirst), "(none)");
}

TEST_F(KeptText, AMissingFolderIsMadeByTheFirstWriteOnly) {
    EXPECT_EQ(Kept(kPage, kFirst), "(none)");
    EXPECT_FALSE(PromoteLatestText(kPage, kFirst));
    RemoveKeptText(kPage);
    EXPECT_EQ(GetFileAttributesW(KeptTextFolder().c_str()), INVALID_FILE_ATTRIBUTES) << "no folder made";
    ASSERT_TRUE(KeepLatestText(kPage, kFirst, "latest"));
    EXPECT_EQ(FilesInFolder().size(), 1u);
}

TEST_F(KeptText, OpeningAPageKeepsTheLatestTextOnlyForTheDigestSeen) {
    // The pass fetched the first text; the user opens the page with that digest.
    ASSERT_TRUE(KeepLatestText(kPage, kFirst, "first"));
    EXPECT_TRUE(PromoteLatestText(kPage, kFirst));
    EXPECT_EQ(Kept(kPage, kFirst), "first");
    // Opened again before any pass: the kept text stays.
    EXPECT_FALSE(PromoteLatestText(kPage, kFirst));
    EXPECT_EQ(Kept(kPage, kFirst), "first");

    // A pass fetched a second text, and another pass a third one before the user opened the
    // page with the second digest (from a band that read it first): the third text is not
    // the second, so nothing is kept, rather than a text for another digest.
    ASSERT_TRUE(KeepLatestText(kPage, kSecond, "second"));
    ASSERT_TRUE(KeepLatestText(kPage, "THIRD", "third"));
    EXPECT_FALSE(PromoteLatestText(kPage, kSecond));
    EXPECT_EQ(Kept(kPage, kSecond), "(none)");
    EXPECT_EQ(Kept(kPage, kFirst), "(none)");
    EXPECT_TRUE(FilesInFolder().empty()) << "nor is a claimed latest text left behind";

    // Seen as it was: a later latest text for another digest leaves the kept text alone.
    ASSERT_TRUE(KeepSeenText(kPage, kFirst, "first"));
    ASSERT_TRUE(KeepLatestText(kPage, kSecond, "second"));
    EXPECT_FALSE(PromoteLatestText(kPage, kFirst));
    EXPECT_EQ(Kept(kPage, kFirst), "first");
}
