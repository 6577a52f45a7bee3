#include "services/digest_page.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "services/charset_win.h"
#include "services/content_digest.h"
#include "services/markup.h"
#include "services/page_fetcher.h"
#include "services/page_text.h"

namespace {

const char kNoContentMessage[] = "内容の取得に失敗しました.";

std::string Md5(const char* bytes, size_t count) {
    char digest[64];
    std::memset(digest, 0, sizeof digest);
    // A failed digest leaves the buffer empty, which is the answer then.
    ComputeDigest("MD5", bytes, static_cast<DWORD>(count), digest);
    return std::string(digest);
}

}  // namespace

std::string DigestBody(const char* body, size_t count, Comparison comparison, const std::string& contentType,
                       std::string* text) {
    bool textComparison = comparison == Comparison::Text || comparison == Comparison::TextNoNumbers;
    std::string converted;
    std::string_view decoded;
    if (textComparison || text) decoded = PageBodyAsUtf8(body, count, contentType, &converted);

    std::string digest;
    if (textComparison) {
        std::string read = ExtractPageText(decoded, comparison == Comparison::TextNoNumbers);
        digest = Md5(read.data(), read.size());
        if (text && !digest.empty() && comparison == Comparison::Text) {
            *text = std::move(read);
            return digest;
        }
    } else if (comparison == Comparison::Markup) {
        std::vector<char> copy(body, body + count);
        size_t kept = RemoveMarkupTags(copy.data(), copy.size());
        digest = Md5(copy.data(), kept);
    } else {
        digest = Md5(body, count);
    }
    if (text && !digest.empty()) *text = ExtractPageText(decoded, false);
    return digest;
}

std::string DigestPage(const std::string& host, Comparison comparison, const std::string& path,
                       PageFetchSession* session, std::string* text) {
    // The one place where a failed fetch or digest ends: whatever was thrown, the caller gets
    // the empty text, which never stands for a real digest.
    try {
        DWORD count = 0;
        std::string contentType;
        PageBody body = FetchPage(host, path, &count, FetchSeam(), session, &contentType);
        if (!body) throw kNoContentMessage;
        if (comparison == Comparison::Markup && !text) {
            // The body is ours: its tags go in place, without a copy of a page of up to 32 MB.
            count = static_cast<DWORD>(RemoveMarkupTags(body.get(), count));
            return Md5(body.get(), count);
        }
        return DigestBody(body.get(), count, comparison, contentType, text);
    } catch (...) {
        return std::string();
    }
}
