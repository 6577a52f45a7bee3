#include "services/digest_page.h"

#include <cstring>

#include "services/content_digest.h"
#include "services/markup.h"
#include "services/page_fetcher.h"

namespace {
const char kNoContentMessage[] = "内容の取得に失敗しました.";
}

std::string DigestPage(const std::string& host, int ignore_markup, const std::string& path,
                       PageFetchSession* session) {
    // The one place where a failed fetch or digest ends: whatever was thrown, the caller gets
    // the empty text, which never stands for a real digest.
    try {
        DWORD count = 0;
        PageBody body = FetchPage(host, path, &count, FetchSeam(), session);
        if (!body) throw kNoContentMessage;
        if (ignore_markup) count = static_cast<DWORD>(RemoveMarkupTags(body.get(), count));
        char digest[64];
        std::memset(digest, 0, sizeof digest);
        // A failed digest leaves the buffer empty, which is the answer then.
        ComputeDigest("MD5", body.get(), count, digest);
        return std::string(digest);
    } catch (...) {
        return std::string();
    }
}
