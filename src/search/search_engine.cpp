#include "search/search_engine.h"

std::vector<SearchEngine> LoadSearchEnginesWith(const SearchListReader& readList) {
    std::vector<std::string> urls = readList("url", -1);
    int count = static_cast<int>(urls.size());
    std::vector<std::string> conds = readList("cond", count);
    std::vector<std::string> methods = readList("method", count);
    std::vector<std::string> forms = readList("form", count);
    // A reader that breaks its promise of exactly count entries must not run us off an end.
    if (conds.size() != urls.size() || methods.size() != urls.size() || forms.size() != urls.size()) {
        conds.resize(urls.size());
        methods.resize(urls.size());
        forms.resize(urls.size());
    }

    std::vector<SearchEngine> engines;
    engines.reserve(urls.size());
    for (size_t i = 0; i < urls.size(); ++i) {
        engines.push_back({std::move(conds[i]), std::move(urls[i]), std::move(methods[i]),
                           std::move(forms[i])});
    }
    return engines;
}

bool IsMultibyteQuery(const std::string& query, LeadBytePredicate isLead) {
    return HoldsLeadByte(query, isLead);
}

bool EngineAccepts(const SearchEngine& engine, bool multibyte, LeadBytePredicate isLead) {
    if (EqualsIgnoringAsciiCase(engine.cond, "eng", isLead)) return !multibyte;
    if (EqualsIgnoringAsciiCase(engine.cond, "jpn", isLead)) return multibyte;
    return true;
}

bool IsPostEngine(const SearchEngine& engine, LeadBytePredicate isLead) {
    return EqualsIgnoringAsciiCase(engine.method, "post", isLead);
}

SearchRequest MakeSearchRequest(const SearchEngine& engine, const std::string& encodedQuery,
                                LeadBytePredicate isLead) {
    SearchRequest request;
    request.post = IsPostEngine(engine, isLead);
    if (request.post) {
        request.address = engine.url;
        request.body = engine.form + encodedQuery;
    } else {
        request.address = engine.url + "?" + engine.form + encodedQuery;
    }
    return request;
}
