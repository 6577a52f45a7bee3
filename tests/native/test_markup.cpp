// Tag removal: the known cases, and the one-pass version byte for byte against the steps
// transcribed literally, over many random and adversarial bodies.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "literal_markup.h"
#include "services/markup.h"

namespace {

std::string Removed(std::string body) {
    size_t size = RemoveMarkupTags(body.data(), body.size());
    EXPECT_LE(size, body.size());
    return body.substr(0, size);
}

std::string LiteralText(const std::string& body) {
    std::vector<char> text(body.begin(), body.end());
    text.push_back('\0');
    size_t size = LiteralRemoveTagsFromText(text.data(), body.size());
    return std::string(text.data(), size);
}

std::string LiteralBytes(const std::string& body) {
    std::string copy = body;
    size_t size = LiteralRemoveTags(copy.data(), copy.size());
    return copy.substr(0, size);
}

// Checks one body against both transcriptions (the text one only sees NUL-free bodies).
void ExpectSameAsLiteral(const std::string& body) {
    std::string fast = Removed(body);
    ASSERT_EQ(fast, LiteralBytes(body)) << "body: " << ::testing::PrintToString(body);
    if (body.find('\0') == std::string::npos) {
        ASSERT_EQ(fast, LiteralText(body)) << "body: " << ::testing::PrintToString(body);
    }
}

}  // namespace

TEST(RemoveMarkupTags, KnownCases) {
    EXPECT_EQ(Removed("abc<b>def</b>"), "abcdef");
    EXPECT_EQ(Removed("a<b"), "a<b");                 // never closed: stays
    EXPECT_EQ(Removed("a>b<c>d"), "a>bd");            // ">" before any "<" stays
    EXPECT_EQ(Removed("<html></html>"), "");
    EXPECT_EQ(Removed("x<!-- a > b -->y"), "x b -->y");  // the first ">" ends the tag
    EXPECT_EQ(Removed("<a<b>c>d"), "c>d");
    EXPECT_EQ(Removed("<p>one\r\n<p>two"), "one\r\ntwo");
    EXPECT_EQ(Removed("t<a>u<b"), "tu<b");
    EXPECT_EQ(Removed(""), "");
    EXPECT_EQ(Removed(">>><<<"), ">>><<<");
    // NUL bytes are ordinary bytes: tags after them go too, and a tag may span one.
    EXPECT_EQ(Removed(std::string("ab\0cd\0\0ef<x>\0g", 14)), std::string("ab\0cd\0\0ef\0g", 11));
    EXPECT_EQ(Removed(std::string("a<\0>b", 5)), "ab");
}

TEST(RemoveMarkupTags, LeavesTheBytesPastTheBodyAlone) {
    std::string body = "a<b>c";
    body.push_back('\0');
    body += "GUARD";
    size_t size = RemoveMarkupTags(body.data(), 5);
    EXPECT_EQ(body.substr(0, size), "ac");
    EXPECT_EQ(body.substr(6), "GUARD");
}

TEST(RemoveMarkupTags, MatchesTheLiteralStepsOnAdversarialBodies) {
    std::vector<std::string> bodies = {
        "<", ">", "<>", "><", "<<>>", "<><><>", "a<b<c<d>e>f>g", std::string(1000, '<'),
        std::string(1000, '>'), std::string(500, '<') + std::string(500, '>'),
        std::string(500, '>') + std::string(500, '<'), "<" + std::string(10000, 'x'),
        std::string(10000, 'x') + ">", std::string("\0<\0>\0", 5), "\x83<\x83>",  // trail bytes
    };
    std::string alternating;
    for (int i = 0; i < 2000; ++i) alternating += i % 2 ? ">" : "<";
    bodies.push_back(alternating);
    std::string nested;
    for (int i = 0; i < 300; ++i) nested = "<" + nested + ">t";
    bodies.push_back(nested);
    for (const std::string& body : bodies) ExpectSameAsLiteral(body);
}

TEST(RemoveMarkupTags, MatchesTheLiteralStepsOnRandomBodies) {
    std::mt19937 random(20261208);
    // Small alphabets make tags, stray brackets and NULs frequent.
    const std::string alphabets[] = {"<>a", "<>ab\n", std::string("<>a\0", 4), "<<>ab c/=\"'"};
    for (int round = 0; round < 20000; ++round) {
        const std::string& alphabet = alphabets[round % 4];
        std::uniform_int_distribution<size_t> length(0, round % 100 == 0 ? 5000 : 64);
        std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
        std::string body(length(random), ' ');
        for (char& c : body) c = alphabet[pick(random)];
        ExpectSameAsLiteral(body);
        if (HasFatalFailure()) return;
    }
}

TEST(RemoveMarkupTags, MatchesTheLiteralStepsOnPageLikeBodies) {
    std::mt19937 random(932);
    const char* pieces[] = {"<p>", "</p>", "text ", "<a href=\"x>y\">", "&lt;", "<!-- c -->",
                            "\r\n", "> ", " <", "\x83\x63\x81\x5b"};
    for (int round = 0; round < 2000; ++round) {
        std::string body;
        std::uniform_int_distribution<int> count(0, 200), pick(0, 9);
        for (int n = count(random); n > 0; --n) body += pieces[pick(random)];
        ExpectSameAsLiteral(body);
        if (HasFatalFailure()) return;
    }
}
