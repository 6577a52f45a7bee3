#include "search/search_engine.h"
#include "services/config_list.h"

std::vector<SearchEngine> LoadSearchEngines(const char* path) {
    return LoadSearchEnginesWith([path](const char* prefix, int count) {
        return ReadNumberedList("search", prefix, count, path);
    });
}
