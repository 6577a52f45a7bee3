// Tag removal on a 1 MB page with 20,000 tags: the one-pass version against the steps taken
// literally (restart from the start of the body after every tag, move the whole rest each
// time). Prints both times and their ratio, measured side by side in one run.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "literal_markup.h"
#include "services/markup.h"

namespace {

std::string MakePage(size_t size, int tags) {
    const char* kinds[] = {"<p>", "</p>", "<a href=\"/x/y.html\">", "</a>", "<br>",
                           "<td class=\"c\">", "</td>", "<!-- note -->"};
    std::mt19937 random(1);
    std::string page;
    size_t tagBytes = 0;
    std::vector<std::string> chosen;
    for (int i = 0; i < tags; ++i) {
        chosen.push_back(kinds[random() % 8]);
        tagBytes += chosen.back().size();
    }
    size_t text = (size - tagBytes) / tags;
    for (int i = 0; i < tags; ++i) {
        for (size_t j = 0; j < text; ++j) page += static_cast<char>('a' + (i + j) % 26);
        page += chosen[i];
    }
    page.resize(size, 'z');
    return page;
}

template <typename F>
double Seconds(F work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const size_t size = 1 << 20;
    const int tags = 20000;
    std::string page = MakePage(size, tags);

    std::vector<char> literal(page.begin(), page.end());
    literal.push_back('\0');
    size_t literalSize = 0;
    double literalSeconds = Seconds([&] { literalSize = LiteralRemoveTagsFromText(literal.data(), size); });

    // The one-pass version is fast enough that one run is too short to time well.
    const int rounds = 50;
    std::string onePass;
    size_t onePassSize = 0;
    double onePassSeconds = Seconds([&] {
        for (int i = 0; i < rounds; ++i) {
            onePass = page;
            onePassSize = RemoveMarkupTags(onePass.data(), onePass.size());
        }
    }) / rounds;

    bool same = onePassSize == literalSize && std::memcmp(onePass.data(), literal.data(), literalSize) == 0;
    std::printf("page: %zu bytes, %d tags, %zu bytes after removal (%s)\n", size, tags, onePassSize,
                same ? "identical results" : "RESULTS DIFFER");
    std::printf("literal steps: %10.3f ms\n", literalSeconds * 1e3);
    std::printf("one pass:      %10.3f ms (mean of %d)\n", onePassSeconds * 1e3, rounds);
    std::printf("ratio literal / one pass: %.0f\n", literalSeconds / onePassSeconds);
    return same ? 0 : 1;
}
