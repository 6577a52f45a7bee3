#include "watch/watch_item.h"

#include <wininet.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "module/module.h"
#include "services/config_list.h"

const char kBuiltInItemLine[] = "ツールバー情報,0,http://www.vorna.example/toolbar/";

namespace {

// What a line may hold: a title, a host and a path of at most 259 characters each, and a
// URL of at most 779.
constexpr size_t kFieldBuffer = 260;
constexpr size_t kUrlBuffer = 780;

void ShowUninterpretable(const char* url) {
    MessageBoxA(nullptr, url, "解釈できません", MB_OK);
}

}  // namespace

std::optional<WatchItem> ParseWatchItemLine(const std::string& line) {
    char title[kFieldBuffer] = "";
    char url[kUrlBuffer] = "";
    int number = 0;
    int consumed = 0;
    // The widths keep every field inside its buffer: a longer title no longer meets its
    // comma, so the line is skipped like any other line that does not parse.
    if (std::sscanf(line.c_str(), "%259[^,],%d,%779s%n", title, &number, url, &consumed) < 3)
        return std::nullopt;
    // A URL cut at the buffer's end would be cracked as another address: refuse it.
    unsigned char next = static_cast<unsigned char>(line.c_str()[consumed]);
    bool urlCut = std::strlen(url) == kUrlBuffer - 1 && next != '\0' && !std::isspace(next);

    char host[kFieldBuffer] = "";
    char path[kFieldBuffer] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    // The splitter reports a component that does not fit as a failure; the length checks
    // also hold where a splitter would cut it short instead.
    if (urlCut || !InternetCrackUrlA(url, 0, 0, &parts) || parts.dwHostNameLength >= sizeof host ||
        parts.dwUrlPathLength >= sizeof path) {
        ShowUninterpretable(url);
        return std::nullopt;
    }
    return WatchItem(title, number, std::string(host, parts.dwHostNameLength),
                     std::string(path, parts.dwUrlPathLength));
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
