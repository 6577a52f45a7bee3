#include "watch/watch_item.h"

#include <wininet.h>

#include "module/module.h"
#include "services/config_list.h"
#include "watch/item_line.h"

const char kBuiltInItemLine[] = "ツールバー情報,0,http://www.vorna.example/toolbar/";

namespace {

// A host and a path of at most 259 characters each.
constexpr size_t kFieldBuffer = 260;

void ShowUninterpretable(const char* url) {
    MessageBoxA(nullptr, url, "解釈できません", MB_OK);
}

std::optional<WatchItem> ReadItemLine(const std::string& line, bool tellUser) {
    std::optional<WatchItemLineFields> fields = ScanWatchItemLine(line);
    if (!fields) return std::nullopt;

    char host[kFieldBuffer] = "";
    char path[kFieldBuffer] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    // A URL cut at its width would be cracked as another address: refuse it. The splitter
    // reports a component that does not fit as a failure; the length checks also hold where
    // a splitter would cut it short instead.
    if (fields->urlCut || !InternetCrackUrlA(fields->url.c_str(), 0, 0, &parts) ||
        parts.dwHostNameLength >= sizeof host || parts.dwUrlPathLength >= sizeof path) {
        if (tellUser) ShowUninterpretable(fields->url.c_str());
        return std::nullopt;
    }
    return WatchItem(fields->title, fields->number, std::string(host, parts.dwHostNameLength),
                     std::string(path, parts.dwUrlPathLength),
                     fields->comparison.value_or(ComparisonOfFlag(fields->number)));
}

}  // namespace

std::optional<WatchItem> ParseWatchItemLine(const std::string& line) { return ReadItemLine(line, true); }

std::string PageAddressOfLine(const std::string& line) {
    std::optional<WatchItem> item = ReadItemLine(line, false);
    return item ? PageAddress(*item) : std::string();
}

std::vector<WatchItem> LoadWatchItems(const std::string& configPath) {
    std::vector<std::string> lines = ReadNumberedList("watch", "item", -1, configPath.c_str());
    lines.push_back(kBuiltInItemLine);
    std::vector<WatchItem> items;
    for (const std::string& line : lines) {
        if (std::optional<WatchItem> item = ParseWatchItemLine(line)) items.push_back(*item);
    }
    return items;
}

std::vector<WatchItem> LoadWatchItems() { return LoadWatchItems(ConfigPath()); }
