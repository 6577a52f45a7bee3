// How often each comparison says "changed" for pages whose captures are in hand, and what each
// costs, with the band's own digest code (no fetch):
//
//   false_changes DIR
//
// DIR (a Windows path, such as Z:\tmp\histories; bench/histories/make_histories.py writes
// one) holds a folder per page, each with the page's captures as files whose names sort in
// time order. For each page and each comparison, the consecutive pairs of captures whose
// digests differ are counted: one line per page, then the share over all pairs. Then the time
// of each comparison per MB of body against MD5 alone, and text extraction against markup
// removal on one page of 1 MB and of 4 MB, measured side by side in one run.
//
//   false_changes --new DIR
//
// also prints, for each consecutive pair of captures whose text differs under a comparison by
// text (text, and text-no-numbers), one line: the page, the older and the newer capture's
// file, the comparison's word and what the button's tooltip would say is new, as the worker
// finds it (the older text as the kept one, not kept over the cap), in UTF-8 with tabs and
// line ends made spaces: "新: ...(ほか N か所)", "many places" when the finder's bound was
// reached, nothing when no line is new.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/ansi.h"
#include "services/charset.h"
#include "services/charset_win.h"
#include "services/content_digest.h"
#include "services/digest_page.h"
#include "services/kept_text.h"
#include "services/markup.h"
#include "services/new_passages.h"
#include "services/page_text.h"
#include "watch/passage_display.h"

namespace {

const Comparison kComparisons[] = {Comparison::WholeBody, Comparison::Markup, Comparison::Text,
                                   Comparison::TextNoNumbers};
const char* const kNames[] = {"whole", "markup", "text", "numbers ignored"};

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// The names in a folder, sorted; folders or files.
std::vector<std::string> List(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (found.cFileName[0] == '.' || isFolder != folders) continue;
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    char buffer[65536];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes->append(buffer, read);
    std::fclose(file);
    return true;
}

struct Page {
    std::string name;
    std::vector<std::string> files;  // the captures' names, in time order
    std::vector<std::string> captures;
};

// What one page's history comes to.
struct PageReport {
    int pairs = 0;
    int changed[4] = {};
};

// What the tooltip says is new, on one line of the report.
std::string PassageColumn(const NewPassages& passages) {
    if (passages.kind == NewPassageKind::ManyPlaces) return "many places";
    std::string text = FromWide(DescribeNewPassages(passages, UsesEnglishTexts()), CP_UTF8);
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// Digests each capture under each comparison; with newPassages, prints what is new in each
// pair that a comparison by text tells apart.
PageReport Compare(const Page& page, bool newPassages) {
    PageReport report;
    std::string last[4], lastText;
    for (size_t k = 0; k < page.captures.size(); ++k) {
        const std::string& body = page.captures[k];
        std::string text;
        for (int c = 0; c < 4; ++c) {
            std::string digest = DigestBody(body.data(), body.size(), kComparisons[c], std::string(),
                                            ComparesText(kComparisons[c]) ? &text : nullptr);
            bool changed = k > 0 && digest != last[c];
            if (changed) ++report.changed[c];
            if (changed && newPassages && ComparesText(kComparisons[c])) {
                // The worker compares with the kept text, and keeps none over the cap.
                NewPassages passages;
                if (lastText.size() <= kKeptTextCap)
                    passages = FindNewPassages(lastText, text, kComparisons[c] == Comparison::TextNoNumbers);
                std::printf("%s\t%s\t%s\t%s\t%s\n", page.name.c_str(), page.files[k - 1].c_str(),
                            page.files[k].c_str(), ComparisonWord(kComparisons[c]), PassageColumn(passages).c_str());
            }
            last[c] = digest;
        }
        lastText.swap(text);
        if (k > 0) ++report.pairs;
    }
    return report;
}

// Seconds for one run of work: the quickest of at least three runs and half a second, since
// the machines this runs on are shared and a slow run says more about them than about us.
template <typename Work>
double SecondsPerRun(Work work) {
    double best = 0, spent = 0;
    for (int runs = 0; runs < 3 || spent < 0.5; ++runs) {
        double start = Now();
        work();
        double took = Now() - start;
        spent += took;
        if (runs == 0 || took < best) best = took;
    }
    return best;
}

volatile size_t g_sink;  // keeps the work from being optimised away

// What a comparison does to a body before the digest: nothing, the tags removed (from a copy,
// as DigestBody does it), or the text read.
size_t Prepare(Comparison comparison, const std::string& body) {
    if (comparison == Comparison::WholeBody) return body.size();
    if (comparison == Comparison::Markup) {
        std::string copy = body;
        return RemoveMarkupTags(&copy[0], copy.size());
    }
    std::string converted;
    std::string_view utf8 = PageBodyAsUtf8(body.data(), body.size(), std::string(), &converted);
    return ExtractPageText(utf8, comparison == Comparison::TextNoNumbers).size();
}

void TimeComparisons(const std::vector<Page>& pages) {
    size_t bytes = 0, captures = 0;
    for (const Page& page : pages) {
        for (const std::string& body : page.captures) bytes += body.size();
        captures += page.captures.size();
    }
    if (bytes == 0) return;
    double megabytes = bytes / 1048576.0;
    double md5 = SecondsPerRun([&] {
        char digest[33];
        for (const Page& page : pages)
            for (const std::string& body : page.captures)
                ComputeDigest("MD5", body.data(), static_cast<DWORD>(body.size()), digest);
    });
    std::printf("time per MB of body (%.2f MB, %zu captures of %zu pages): MD5 alone %.2f ms (%.2f ms a capture)\n",
                megabytes, captures, pages.size(), md5 * 1e3 / megabytes, md5 * 1e3 / captures);
    for (int c = 0; c < 4; ++c) {
        double own = SecondsPerRun([&] {
            for (const Page& page : pages)
                for (const std::string& body : page.captures) g_sink = g_sink + Prepare(kComparisons[c], body);
        });
        double whole = SecondsPerRun([&] {
            for (const Page& page : pages)
                for (const std::string& body : page.captures)
                    g_sink = g_sink + DigestBody(body.data(), body.size(), kComparisons[c], std::string()).size();
        });
        std::printf("  %-16s its own step %6.2f ms, with the digest %7.2f ms (%.2f x MD5 alone)\n", kNames[c],
                    own * 1e3 / megabytes, whole * 1e3 / megabytes, whole / md5);
    }
}

// A page of about size bytes: the largest capture (of a page in UTF-8, or in another
// character set), repeated.
std::string PageOfSize(const std::vector<Page>& pages, size_t size, bool utf8, std::string* from) {
    const std::string* largest = nullptr;
    for (const Page& page : pages) {
        for (const std::string& body : page.captures) {
            bool isUtf8 = BodyCodePage(body.data(), body.size(), std::string()) == kCodePageUtf8;
            if (isUtf8 == utf8 && (!largest || body.size() > largest->size())) largest = &body, *from = page.name;
        }
    }
    std::string out;
    while (largest && !largest->empty() && out.size() < size) out += *largest;
    return out;
}

struct StepTimes {
    double markup, text;
    double platform = 0;  // MultiByteToWideChar over the whole page, for a page not in UTF-8
};

StepTimes TimeSteps(const std::string& page) {
    StepTimes times;
    std::string copy;
    times.markup = SecondsPerRun([&] {
        copy = page;
        g_sink = RemoveMarkupTags(&copy[0], copy.size());
    });
    double copying = SecondsPerRun([&] { copy = page; g_sink = copy.size(); });
    times.markup = std::max(times.markup - copying, 1e-9);
    int codePage = BodyCodePage(page.data(), page.size(), std::string());
    if (codePage != kCodePageUtf8) {
        times.platform = SecondsPerRun([&] {
            std::u16string wide;
            DecodeCodePage(codePage, page.data(), page.size(), &wide);
            g_sink = wide.size();
        });
    }
    times.text = SecondsPerRun([&] {
        std::string converted;
        g_sink = ExtractPageText(PageBodyAsUtf8(page.data(), page.size(), std::string(), &converted), false).size();
    });
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    bool newPassages = argc == 3 && std::strcmp(argv[1], "--new") == 0;
    if (!(argc == 2 || newPassages) || argv[argc - 1][0] == '-') {
        std::fprintf(stderr, "usage: false_changes [--new] DIR\n");
        return 2;
    }
    std::string root = argv[argc - 1];
    std::vector<Page> pages;
    for (const std::string& name : List(root, true)) {
        Page page;
        page.name = name;
        for (const std::string& file : List(root + "\\" + name, false)) {
            std::string body;
            if (!ReadWhole(root + "\\" + name + "\\" + file, &body)) {
                std::fprintf(stderr, "cannot read %s\\%s\\%s\n", root.c_str(), name.c_str(), file.c_str());
                return 1;
            }
            page.captures.push_back(std::move(body));
            page.files.push_back(file);
        }
        if (!page.captures.empty()) pages.push_back(std::move(page));
    }
    if (pages.empty()) {
        std::fprintf(stderr, "no pages with captures in %s\n", root.c_str());
        return 1;
    }

    int pairs = 0, changed[4] = {};
    for (const Page& page : pages) {
        PageReport report = Compare(page, newPassages);
        std::printf("%s: %d pairs; changed: whole %d, markup %d, text %d, numbers ignored %d\n", page.name.c_str(),
                    report.pairs, report.changed[0], report.changed[1], report.changed[2], report.changed[3]);
        pairs += report.pairs;
        for (int c = 0; c < 4; ++c) changed[c] += report.changed[c];
    }
    auto share = [&](int c) { return pairs ? 100.0 * changed[c] / pairs : 0.0; };
    std::printf("all: %d pairs; changed: whole %.1f %%, markup %.1f %%, text %.1f %%, numbers ignored %.1f %%\n",
                pairs, share(0), share(1), share(2), share(3));

    TimeComparisons(pages);

    for (bool utf8 : {true, false}) {
        std::string from;
        std::string one = PageOfSize(pages, 1 << 20, utf8, &from), four = PageOfSize(pages, 4 << 20, utf8, &from);
        if (one.empty()) continue;
        StepTimes small = TimeSteps(one), large = TimeSteps(four);
        std::printf("one page (%s repeated), markup removal vs text extraction (decoding included):\n", from.c_str());
        std::printf("  %.2f MB: markup %.2f ms, text %.2f ms, text / markup %.1f\n", one.size() / 1048576.0,
                    small.markup * 1e3, small.text * 1e3, small.text / small.markup);
        if (small.platform > 0) {
            std::printf("  (the platform's decoding of the whole 1 MB alone: %.2f ms, %.1f x markup)\n",
                        small.platform * 1e3, small.platform / small.markup);
        }
        std::printf("  %.2f MB: markup %.2f ms, text %.2f ms, text / markup %.1f\n", four.size() / 1048576.0,
                    large.markup * 1e3, large.text * 1e3, large.text / large.markup);
        std::printf("  4 MB / 1 MB: markup %.2f, text %.2f (4 is linear)\n", large.markup / small.markup,
                    large.text / small.text);
    }
    return 0;
}
