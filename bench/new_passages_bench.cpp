// What is new in a page's text, timed on texts at the kept text's cap (1 MB): a news page
// with a new headline, a text that differs everywhere, one sentence 100,000 times, half a
// million one-letter lines, one long line. Prints each case's answer and its time, and the
// time per megabyte of both texts, so that a case that grows faster than the others shows.
// Run: build/native/new_passages_bench (built optimised by the native build).
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "services/new_passages.h"

namespace {

template <typename F>
double Milliseconds(F work, int rounds) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / rounds;
}

std::string Lines(size_t bytes, std::mt19937& random, size_t longest) {
    std::string t;
    while (t.size() < bytes) {
        for (size_t i = 0, n = 1 + random() % longest; i < n; ++i) t += static_cast<char>('a' + random() % 26);
        t += '\n';
    }
    t.resize(bytes);
    return t;
}

void Run(const char* name, const std::string& seen, const std::string& next, bool ignoreNumbers) {
    NewPassages answer;
    int rounds = 5;
    double ms = Milliseconds([&] { answer = FindNewPassages(seen, next, ignoreNumbers); }, rounds);
    const char* kind = answer.kind == NewPassageKind::None ? "none" : answer.kind == NewPassageKind::Found ? "found" : "many";
    double megabytes = (seen.size() + next.size()) / 1048576.0;
    std::printf("%-34s %8.1f ms  %6.1f ms/MB  %-5s further %zu\n", name, ms, ms / megabytes, kind, answer.further);
}

}  // namespace

int main() {
    std::mt19937 random(3);
    const size_t cap = kMaxSeenTextBytes;

    std::string news = Lines(cap - 100, random, 80);
    std::string withHeadline = news;
    withHeadline.insert(withHeadline.find('\n', cap / 3) + 1, "A new headline\n");
    Run("news page, one new headline", news, withHeadline, false);
    Run("news page, numbers ignored", news, withHeadline, true);
    Run("differs everywhere", Lines(cap, random, 60), Lines(cap, random, 60), false);

    std::string same;
    while (same.size() + 10 <= cap) same += "Same one.\n";
    std::string other;
    while (other.size() + 11 <= cap) other += "Other one.\n";
    Run("one sentence 100,000 times", same, other, false);
    Run("short lines, 500,000 of them", Lines(cap, random, 1), Lines(cap, random, 1), false);

    std::string line(cap, 'x');
    std::string changed = line;
    changed.back() = 'y';
    Run("one 1 MB line", line, changed, false);
    std::string digits(cap, '7');
    Run("one 1 MB line of digits, ignored", digits, std::string(cap, '8'), true);
    return 0;
}
