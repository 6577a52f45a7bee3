// Search definitions over a profile held in memory: which keys are read, the records made,
// the keyword comparison of "cond" and "method", which queries each definition accepts and
// the request it makes, against the rules written out again here; and a list reader that
// breaks its promise of exactly count entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "search/query_encoding.h"
#include "search/search_engine.h"
#include "services/config_list.h"

namespace {

// The value is the keyword, ASCII case aside: three bytes, none of them a lead byte (a
// letter of a double-byte character is no ASCII letter).
bool IsKeyword(const std::string& value, const char* keyword) {
    std::string word(keyword);
    if (value.size() != word.size()) return false;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

// Characters against bytes: a lead byte and the byte after it count as one character, a lead
// byte right before the end as none; single-byte when the two counts are equal.
bool ReferenceMultibyte(const std::string& query) {
    size_t characters = 0;
    for (size_t i = 0; i < query.size(); ++i) {
        if (ReferenceLead(static_cast<unsigned char>(query[i]))) {
            if (i + 1 == query.size()) break;
            ++i;
        }
        ++characters;
    }
    return characters != query.size();
}

std::string Value(FuzzedDataProvider& input) {
    static const char* const kWords[] = {"eng", "jpn", "post", "get", "english", "en", ""};
    if (input.ConsumeBool()) return input.ConsumeRandomLengthString(12).c_str();
    std::string word = kWords[input.ConsumeIntegralInRange<size_t>(0, 6)];
    for (char& c : word) {
        if (input.ConsumeBool()) c = static_cast<char>(c - 'a' + 'A');
    }
    return word;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::map<std::string, std::string> profile;
    static const char* const kPrefixes[] = {"url", "cond", "method", "form"};
    for (int entries = input.ConsumeIntegralInRange(0, 32); entries > 0; --entries) {
        std::string key = kPrefixes[input.ConsumeIntegralInRange(0, 3)] +
                          std::to_string(input.ConsumeIntegralInRange(1, 9));
        profile[key] = Value(input);
    }
    std::string query = input.ConsumeRandomLengthString(64).c_str();

    std::vector<std::string> asked;
    SearchListReader reader = [&](const char* prefix, int count) {
        return ReadNumberedListWith(
            [&](const char* section, const char* key) {
                FUZZ_CHECK(std::string(section) == "search");
                asked.push_back(key);
                auto it = profile.find(key);
                return it == profile.end() ? std::string() : it->second;
            },
            "search", prefix, count);
    };
    std::vector<SearchEngine> engines = LoadSearchEnginesWith(reader);

    auto valueOf = [&](const std::string& key) {
        auto it = profile.find(key);
        return it == profile.end() ? std::string() : it->second;
    };
    size_t n = 0;
    while (!valueOf("url" + std::to_string(n + 1)).empty()) ++n;
    FUZZ_CHECK(engines.size() == n);
    std::vector<std::string> expectedAsked;
    for (size_t i = 1; i <= n + 1; ++i) expectedAsked.push_back("url" + std::to_string(i));
    for (const char* prefix : {"cond", "method", "form"}) {
        for (size_t i = 1; i <= n; ++i) expectedAsked.push_back(prefix + std::to_string(i));
    }
    FUZZ_CHECK(asked == expectedAsked);

    bool multibyte = IsMultibyteQuery(query, IsCp932LeadByte);
    FUZZ_CHECK(multibyte == ReferenceMultibyte(query));
    std::string encoded = EncodeQuery(query.c_str());
    for (size_t i = 0; i < n; ++i) {
        const SearchEngine& e = engines[i];
        std::string number = std::to_string(i + 1);
        FUZZ_CHECK(e.url == valueOf("url" + number));
        FUZZ_CHECK(e.cond == valueOf("cond" + number));
        FUZZ_CHECK(e.method == valueOf("method" + number));
        FUZZ_CHECK(e.form == valueOf("form" + number));

        bool accepts = IsKeyword(e.cond, "eng") ? !multibyte : IsKeyword(e.cond, "jpn") ? multibyte : true;
        FUZZ_CHECK(EngineAccepts(e, multibyte, IsCp932LeadByte) == accepts);
        bool post = IsKeyword(e.method, "post");
        FUZZ_CHECK(IsPostEngine(e, IsCp932LeadByte) == post);
        SearchRequest request = MakeSearchRequest(e, encoded, IsCp932LeadByte);
        FUZZ_CHECK(request.post == post);
        if (post) {
            FUZZ_CHECK(request.address == e.url && request.body == e.form + encoded);
        } else {
            FUZZ_CHECK(request.address == e.url + "?" + e.form + encoded && request.body.empty());
        }
    }

    // A reader that answers lists of any length: as many definitions as urls, nothing more.
    std::vector<size_t> lengths;
    for (int i = 0; i < 4; ++i) lengths.push_back(input.ConsumeIntegralInRange<size_t>(0, 6));
    int call = 0;
    std::vector<SearchEngine> odd = LoadSearchEnginesWith([&](const char*, int) {
        return std::vector<std::string>(lengths[call++ % 4], "x");
    });
    FUZZ_CHECK(odd.size() == lengths[0]);
    return 0;
}
