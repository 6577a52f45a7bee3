// The digest over the platform's CryptoAPI: known-answer vectors, the name table, and what
// is left in the output when something fails.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "services/content_digest.h"

namespace {

struct Result {
    HRESULT hr;
    std::string text;
};

Result Digest(const char* name, const std::string& data) {
    char out[64];
    std::memset(out, 'Z', sizeof out - 1);
    out[sizeof out - 1] = '\0';
    HRESULT hr = ComputeDigest(name, data.data(), static_cast<DWORD>(data.size()), out);
    return {hr, out};
}

const std::string kUntouched(63, 'Z');

}  // namespace

TEST(ComputeDigest, Md5MatchesTheRfc1321TestSuite) {
    struct Vector {
        const char* message;
        const char* digest;
    } vectors[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const Vector& v : vectors) {
        Result r = Digest("MD5", v.message);
        EXPECT_EQ(r.hr, S_OK) << v.message;
        EXPECT_EQ(r.text, v.digest) << v.message;  // 32 upper-case characters, no separators
    }
}

TEST(ComputeDigest, TheOtherUnkeyedNamesOfTheTableWork) {
    EXPECT_EQ(Digest("md2", "abc").text, "DA853B0D3F88D99B30283A69E6DED6BB");
    EXPECT_EQ(Digest("md2", "").text, "8350E5A3E24C153DF2275C9F80692773");
    EXPECT_EQ(Digest("sha", "abc").text, "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(Digest("SHA", "").text, "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(ComputeDigest, NamesMatchInAnyLetterCase) {
    for (const char* name : {"MD5", "md5", "Md5", "mD5"}) {
        Result r = Digest(name, "abc");
        EXPECT_EQ(r.hr, S_OK) << name;
        EXPECT_EQ(r.text, "900150983CD24FB0D6963F7D28E17F72") << name;
    }
    EXPECT_EQ(Digest("mD2", "abc").text, "DA853B0D3F88D99B30283A69E6DED6BB");
    EXPECT_EQ(Digest("Sha", "abc").text, "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(ComputeDigest, NamesOutsideTheTableAreInvalidAndLeaveTheOutputAlone) {
    // sha256, the empty name, a prefix, a longer name, full-width "md5" in code page 932.
    for (const char* name : {"sha256", "", "md", "md55", " md5", "sha1", "\x82\x8d\x82\x84\x82\x54"}) {
        Result r = Digest(name, "abc");
        EXPECT_EQ(r.hr, E_INVALIDARG) << name;
        EXPECT_EQ(r.text, kUntouched) << name;
    }
    Result r = Digest(nullptr, "abc");
    EXPECT_EQ(r.hr, E_INVALIDARG);
    EXPECT_EQ(r.text, kUntouched);
}

TEST(ComputeDigest, KeyedNamesGetNoKeyAndFailWithoutTouchingTheOutput) {
    for (const char* name : {"hmac", "HMAC", "mac", "Mac"}) {
        Result r = Digest(name, "abc");
        EXPECT_EQ(r.hr, E_UNEXPECTED) << name;
        EXPECT_EQ(r.text, kUntouched) << name;
    }
}

TEST(ComputeDigest, BytesAfterANulAreHashed) {
    EXPECT_EQ(Digest("md5", std::string("a\0b", 3)).text, "70350F6027BCE3713F6B76473084309B");
    EXPECT_NE(Digest("md5", std::string("a\0b", 3)).text, Digest("md5", "a").text);
}

TEST(ComputeDigest, LengthZeroIsTheEmptyMessageWhateverThePointer) {
    char out[33] = "";
    EXPECT_EQ(ComputeDigest("md5", "ignored", 0, out), S_OK);
    EXPECT_STREQ(out, "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(ComputeDigest("md5", nullptr, 0, out), S_OK);
    EXPECT_STREQ(out, "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(ComputeDigest, WritesExactlyTheDigestAndItsTerminator) {
    char out[64];
    std::memset(out, 'Z', sizeof out);
    ASSERT_EQ(ComputeDigest("md5", "abc", 3, out), S_OK);
    EXPECT_EQ(out[32], '\0');
    EXPECT_EQ(out[33], 'Z');
}
