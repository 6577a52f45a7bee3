// Search definitions, the query's character class, the requests made and the query encoding,
// over a profile held in memory and code page 932's lead bytes.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "search/query_encoding.h"
#include "search/search_engine.h"
#include "services/config_list.h"

namespace {

struct Profile {
    std::map<std::string, std::string> values;  // key -> value of the "search" section
    std::vector<std::string> asked;
    SearchListReader reader() {
        return [this](const char* prefix, int count) {
            return ReadNumberedListWith(
                [this](const char* section, const char* key) {
                    asked.push_back(key);
                    if (std::string(section) != "search") return std::string();
                    auto it = values.find(key);
                    return it == values.end() ? std::string() : it->second;
                },
                "search", prefix, count);
        };
    }
};

bool Multibyte(const std::string& q) { return IsMultibyteQuery(q, IsCp932LeadByte); }

// Decodes %XX escapes; anything else fails the test.
std::string Decode(const std::string& encoded) {
    std::string bytes;
    for (size_t i = 0; i < encoded.size(); i += 3) {
        EXPECT_EQ(encoded[i], '%');
        bytes += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

TEST(LoadSearchEnginesWith, ReadsUrlsToTheFirstGapAndTheRestForExactlyThoseNumbers) {
    Profile p;
    p.values = {{"url1", "http://a/"}, {"url2", "http://b/"}, {"url4", "http://d/"},
                {"cond1", "jpn"},      {"method1", "post"},  {"form1", "q="},
                {"cond3", "eng"},      {"form4", "x="}};
    std::vector<SearchEngine> engines = LoadSearchEnginesWith(p.reader());
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_EQ(engines[0].url, "http://a/");
    EXPECT_EQ(engines[0].cond, "jpn");
    EXPECT_EQ(engines[0].method, "post");
    EXPECT_EQ(engines[0].form, "q=");
    EXPECT_EQ(engines[1].url, "http://b/");
    EXPECT_EQ(engines[1].cond, "");
    EXPECT_EQ(engines[1].method, "");
    EXPECT_EQ(engines[1].form, "");
    // url4 after the gap and the keys numbered 3 are never asked for.
    std::vector<std::string> expected = {"url1", "url2", "url3", "cond1", "cond2",
                                         "method1", "method2", "form1", "form2"};
    EXPECT_EQ(p.asked, expected);
}

TEST(LoadSearchEnginesWith, NoSectionOrAnEmptyFirstUrlGivesNoDefinition) {
    Profile none;
    EXPECT_TRUE(LoadSearchEnginesWith(none.reader()).empty());
    Profile emptyFirst;
    emptyFirst.values = {{"url1", ""}, {"url2", "http://b/"}};
    EXPECT_TRUE(LoadSearchEnginesWith(emptyFirst.reader()).empty());
}

TEST(LoadSearchEnginesWith, DuplicatesStayAndValuesAreKeptAsRead) {
    Profile p;
    p.values = {{"url1", " http://a/ "}, {"url2", " http://a/ "}, {"cond1", " eng"}};
    std::vector<SearchEngine> engines = LoadSearchEnginesWith(p.reader());
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_EQ(engines[0].url, " http://a/ ");
    EXPECT_EQ(engines[0].cond, " eng");
    EXPECT_EQ(engines[1].url, " http://a/ ");
}

TEST(LoadSearchEnginesWith, AReaderReturningShortListsGivesEmptyFields) {
    std::vector<SearchEngine> engines = LoadSearchEnginesWith([](const char* prefix, int) {
        return std::string(prefix) == "url" ? std::vector<std::string>{"http://a/", "http://b/"}
                                            : std::vector<std::string>{"eng"};
    });
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_EQ(engines[0].cond, "eng");
    EXPECT_EQ(engines[1].cond, "");
}

TEST(QueryCharacterClass, LeadBytesMakeAQueryMultibyte) {
    EXPECT_FALSE(Multibyte(""));
    EXPECT_FALSE(Multibyte("abc"));
    EXPECT_TRUE(Multibyte("\x82\xA0"));
    EXPECT_TRUE(Multibyte("a\x82\xA0z"));
    EXPECT_TRUE(Multibyte("ab\x82"));           // a lone lead byte at the end
    EXPECT_TRUE(Multibyte("\xE0\x40"));         // the second range of lead bytes
    EXPECT_TRUE(Multibyte("\xFC\x40"));
    EXPECT_FALSE(Multibyte("\xB1\xB2\xDF\xA1"));  // half-width katakana are single bytes
    EXPECT_FALSE(Multibyte("\x80\xA0\xFD\xFE\xFF"));
}

TEST(EngineAccepts, ConditionsAreWholeKeywordsWithAsciiCaseIgnored) {
    struct Case {
        const char* cond;
        bool single;     // accepts a single-byte query
        bool multi;      // accepts a multibyte query
    } cases[] = {
        {"eng", true, false},  {"ENG", true, false},   {"Eng", true, false},
        {"jpn", false, true},  {"JPN", false, true},   {"jPn", false, true},
        {"", true, true},      {"english", true, true}, {"en", true, true},
        {"eng ", true, true},  {"\x82\x85ng", true, true},  // a double-byte e is no letter
        {"japanese", true, true},
    };
    for (const Case& c : cases) {
        SearchEngine e{c.cond, "http://u/", "", ""};
        EXPECT_EQ(EngineAccepts(e, false, IsCp932LeadByte), c.single) << c.cond;
        EXPECT_EQ(EngineAccepts(e, true, IsCp932LeadByte), c.multi) << c.cond;
    }
}

TEST(EngineAccepts, RoutesEachQueryToEveryAcceptingDefinition) {
    std::vector<SearchEngine> engines = {{"jpn", "1", "", ""}, {"eng", "2", "", ""}, {"", "3", "", ""}};
    auto route = [&](const std::string& q) {
        std::string taken;
        for (const SearchEngine& e : engines) {
            if (EngineAccepts(e, Multibyte(q), IsCp932LeadByte)) taken += e.url;
        }
        return taken;
    };
    EXPECT_EQ(route("abc"), "23");
    EXPECT_EQ(route("\x82\xA0"), "13");
    EXPECT_EQ(route(""), "23");
    EXPECT_EQ(route("abc\x82"), "13");
    EXPECT_EQ(route("\xB1\xB2"), "23");
}

TEST(IsPostEngine, OnlyTheWholeWordPostInAnyAsciiCase) {
    for (const char* m : {"post", "POST", "Post", "pOsT"}) {
        EXPECT_TRUE(IsPostEngine({"", "u", m, ""}, IsCp932LeadByte)) << m;
    }
    for (const char* m : {"", "get", "GET", "put", "posts", " post", "pos", "\x82\x6Fost"}) {
        EXPECT_FALSE(IsPostEngine({"", "u", m, ""}, IsCp932LeadByte)) << m;
    }
}

TEST(MakeSearchRequest, GetPutsItsOwnQuestionMarkBeforeFormAndQuery) {
    SearchRequest r = MakeSearchRequest({"", "http://s/find", "", "q="}, "%61%62", IsCp932LeadByte);
    EXPECT_FALSE(r.post);
    EXPECT_EQ(r.address, "http://s/find?q=%61%62");
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(MakeSearchRequest({"", "http://s/?x=1&", "", "q="}, "%61", IsCp932LeadByte).address,
              "http://s/?x=1&?q=%61");
    EXPECT_EQ(MakeSearchRequest({"", "http://s/", "get", ""}, "%61", IsCp932LeadByte).address,
              "http://s/?%61");
    EXPECT_EQ(MakeSearchRequest({"", "http://s/", "", "q="}, "", IsCp932LeadByte).address,
              "http://s/?q=");
}

TEST(MakeSearchRequest, PostKeepsTheUrlAndSendsFormAndQueryAsTheBody) {
    SearchRequest r = MakeSearchRequest({"", "http://s/find", "Post", "q="}, "%61%62", IsCp932LeadByte);
    EXPECT_TRUE(r.post);
    EXPECT_EQ(r.address, "http://s/find");
    EXPECT_EQ(r.body, "q=%61%62");
    EXPECT_EQ(MakeSearchRequest({"", "http://s/", "post", ""}, "", IsCp932LeadByte).body, "");
}

TEST(EncodeQuery, EveryByteBecomesAnUpperCaseEscape) {
    EXPECT_EQ(EncodeQuery(""), "");
    EXPECT_EQ(EncodeQuery(nullptr), "");
    EXPECT_EQ(EncodeQuery("abc"), "%61%62%63");
    EXPECT_EQ(EncodeQuery("a b"), "%61%20%62");
    EXPECT_EQ(EncodeQuery("A+B"), "%41%2B%42");
    EXPECT_EQ(EncodeQuery("-._~09"), "%2D%2E%5F%7E%30%39");
    EXPECT_EQ(EncodeQuery("\x82\xA0"), "%82%A0");
    EXPECT_EQ(EncodeQuery("\xFF"), "%FF");
    EXPECT_EQ(EncodeQuery("\x01\x7F\x80"), "%01%7F%80");
    EXPECT_EQ(EncodeQuery(std::string(259, 'x').c_str()).size(), 777u);
}

TEST(EncodeQuery, TheTextEndsAtItsFirstNul) {
    const char text[] = {'a', '\0', 'b', '\0'};
    EXPECT_EQ(EncodeQuery(text), "%61");
}

TEST(EncodeQuery, DecodingGivesBackTheBytesForRandomInputs) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> length(0, 300), byte(1, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string input;
        for (int n = length(random); n > 0; --n) input += static_cast<char>(byte(random));
        std::string encoded = EncodeQuery(input.c_str());
        ASSERT_EQ(encoded.size(), 3 * input.size());
        for (char c : encoded) {
            ASSERT_TRUE(c == '%' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << encoded;
        }
        ASSERT_EQ(Decode(encoded), input);
    }
}
