// Emoji conversion throughput on a chat-like corpus, against a memchr scan for ':' (the
// practical ceiling of any shortcode scan) and, when available, emojione's own JavaScript.
//
//   vesk_emoji_bench [--bytes N] [--seed S] [--repeat R] [--emojione DIR]
//
// DIR is an unpacked emojione 4.5.0 npm package ("package/"); bench/emoji/run.sh makes one
// in a temporary directory. Without it, or without `node`, the JS comparison is skipped.
//
// MB/s counts 10^6 bytes of input per second. Each figure is a median over R rounds; in a
// round every contender runs once, in turn. Throughput is given per CPU second of the
// measuring thread (what the code costs, whoever else shares the cores) and per wall
// second (what a caller waited, which on a shared machine includes other people's work).
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/emoji/chat_corpus.hpp"
#include "core/emoji/codepoint_trie.hpp"
#include "core/emoji/emoji_conversions.hpp"
#include "core/emoji/shortname_index.hpp"
#include "vesk/emoji.hpp"

namespace {

using vesk::emoji::builtinEmojiTable;

double clockSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timer {
    double cpu = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    double wall = clockSeconds(CLOCK_MONOTONIC);
    double cpuMs() const { return (clockSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu) * 1e3; }
    double wallMs() const { return (clockSeconds(CLOCK_MONOTONIC) - wall) * 1e3; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

std::size_t countColons(const std::string& text) {
    std::size_t count = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, ':', static_cast<std::size_t>(end - p)))) !=
           nullptr) {
        ++count;
        ++p;
    }
    return count;
}

struct Rounds {
    std::vector<double> cpu;   // MB/s per CPU second, one per round
    std::vector<double> wall;  // MB/s per wall second
};

std::vector<Rounds> roundRobin(std::size_t bytes, int repeats,
                               const std::vector<std::function<std::size_t()>>& contenders) {
    volatile std::size_t sink = 0;
    for (const auto& run : contenders) {
        sink = sink + run();  // warm-up
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    std::vector<Rounds> rounds(contenders.size());
    for (int round = 0; round < repeats; ++round) {
        for (std::size_t k = 0; k < contenders.size(); ++k) {
            const Timer timer;
            sink = sink + contenders[k]();
            rounds[k].cpu.push_back(mb / timer.cpuMs() * 1e3);
            rounds[k].wall.push_back(mb / timer.wallMs() * 1e3);
        }
    }
    return rounds;
}

// Median over rounds of a[i] / b[i]: both ran in the same round.
double medianRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> r;
    for (std::size_t i = 0; i < a.size(); ++i) {
        r.push_back(a[i] / b[i]);
    }
    return median(r);
}

// name -> {CPU MB/s, wall MB/s} from node, or empty with `why` set.
using JsFigures = std::map<std::string, std::pair<double, double>>;

JsFigures runEmojione(const std::string& packageDir, const std::string& corpus, int repeats,
                      std::string& why) {
    JsFigures result;
    const std::filesystem::path lib = std::filesystem::path(packageDir) / "lib/js/emojione.js";
    if (packageDir.empty()) {
        why = "no --emojione DIR given (bench/emoji/run.sh packs one)";
        return result;
    }
    if (!std::filesystem::exists(lib)) {
        why = lib.string() + " not found";
        return result;
    }
    if (std::system("command -v node >/dev/null 2>&1") != 0) {
        why = "node not found";
        return result;
    }
    const auto corpusFile = std::filesystem::temp_directory_path() /
                            ("vesk-emoji-corpus-" + std::to_string(getpid()) + ".txt");
    std::ofstream(corpusFile, std::ios::binary) << corpus;
    const std::string script = std::string(VESK_EMOJI_BENCH_DIR) + "/emojione_bench.js";
    for (const std::string& arg : {script, lib.string(), corpusFile.string()}) {
        if (arg.find('\'') != std::string::npos) {
            why = "path with a quote: " + arg;
            return result;
        }
    }
    const std::string command = "node '" + script + "' '" + lib.string() + "' '" +
                                corpusFile.string() + "' " + std::to_string(repeats);
    FILE* pipe = popen(command.c_str(), "r");
    int status = -1;
    if (pipe != nullptr) {
        char name[64];
        double cpu = 0;
        double wall = 0;
        while (std::fscanf(pipe, "%63s %lf %lf", name, &cpu, &wall) == 3) {
            result[name] = {cpu, wall};
        }
        status = pclose(pipe);
    }
    std::filesystem::remove(corpusFile);
    for (const char* key :
         {"shortnameToUnicode", "toShortMemoized", "toShortAsShipped", "peakRssKb"}) {
        if (result.count(key) == 0) {
            why = "node run failed (status " + std::to_string(status) + ")";
            result.clear();
            break;
        }
    }
    return result;
}

void verdict(const char* what, double value, const char* target, bool met) {
    std::printf("  %-46s %9.2f  (target %s)  %s\n", what, value, target, met ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t bytes = 4u << 20;
    std::uint64_t seed = 20240601;
    int repeats = 15;
    std::string emojioneDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--bytes") {
            bytes = std::strtoull(value, nullptr, 10);
        } else if (flag == "--seed") {
            seed = std::strtoull(value, nullptr, 10);
        } else if (flag == "--repeat") {
            repeats = std::max(1, std::atoi(value));
        } else if (flag == "--emojione") {
            emojioneDir = value;
        } else {
            std::fprintf(stderr, "unknown flag %s\n", flag.c_str());
            return 2;
        }
    }

    // First use comes before anything else touches the table, as in a fresh process.
    const long rssBefore = currentRssKb();
    const Timer namesTimer;
    const auto& names = vesk::emoji::builtinShortnameIndex();
    const double namesFirstMs = namesTimer.wallMs();
    const Timer trieTimer;
    const auto& trie = vesk::emoji::builtinCodepointTrie();
    const double trieFirstMs = trieTimer.wallMs();
    const double firstUseMs = namesFirstMs + trieFirstMs;
    const long rssAfter = currentRssKb();

    std::vector<double> namesMs;
    std::vector<double> trieMs;
    for (int i = 0; i < 50; ++i) {
        const Timer a;
        const vesk::emoji::ShortnameIndex freshNames(builtinEmojiTable());
        namesMs.push_back(a.cpuMs());
        const Timer b;
        const vesk::emoji::CodepointTrie freshTrie(builtinEmojiTable());
        trieMs.push_back(b.cpuMs());
    }

    const std::string corpus = vesk::bench::makeChatCorpus(bytes, seed);
    const auto unescapeCorpus = [&] {
        return vesk::emoji::unescapeShortcodes(corpus, builtinEmojiTable(), names);
    };
    const auto escapeCorpus = [&] {
        return vesk::emoji::escapeEmoji(corpus, builtinEmojiTable(), trie);
    };
    const std::size_t unescapedSize = unescapeCorpus().size();
    const std::size_t escapedSize = escapeCorpus().size();

    const auto rounds =
        roundRobin(corpus.size(), repeats,
                   {[&] { return countColons(corpus); }, [&] { return unescapeCorpus().size(); },
                    [&] { return escapeCorpus().size(); }});
    const Rounds& scan = rounds[0];
    const Rounds& unescape = rounds[1];
    const Rounds& escape = rounds[2];
    const double unescapeOfScan = medianRatio(unescape.cpu, scan.cpu);
    const double escapeOfScan = medianRatio(escape.cpu, scan.cpu);

    std::printf(
        "corpus: %zu bytes, seed %llu, %zu colons; unescaped %zu bytes, escaped %zu bytes; "
        "medians of %d rounds\n",
        corpus.size(), static_cast<unsigned long long>(seed), countColons(corpus), unescapedSize,
        escapedSize, repeats);
    std::printf(
        "first use (wall): shortname index %.2f ms + codepoint trie %.2f ms = %.2f ms, "
        "RSS +%ld KB\n",
        namesFirstMs, trieFirstMs, firstUseMs, rssAfter - rssBefore);
    std::printf(
        "rebuild (CPU): shortname index %.2f ms (%zu KB), codepoint trie %.2f ms (%zu KB)\n",
        median(namesMs), names.footprintBytes() / 1024, median(trieMs),
        trie.footprintBytes() / 1024);
    std::printf("%-30s %12s %12s\n", "", "MB/s CPU", "MB/s wall");
    std::printf("%-30s %12.1f %12.1f\n", "memchr ':' scan", median(scan.cpu), median(scan.wall));
    std::printf("%-30s %12.1f %12.1f\n", "emojiUnescapedString", median(unescape.cpu),
                median(unescape.wall));
    std::printf("%-30s %12.1f %12.1f\n", "emojiEscapedString", median(escape.cpu),
                median(escape.wall));

    std::string why;
    const JsFigures js = runEmojione(emojioneDir, corpus, std::min(repeats, 5), why);
    if (js.empty()) {
        std::printf("emojione JS comparison skipped: %s\n", why.c_str());
    } else {
        for (const char* name : {"shortnameToUnicode", "toShortMemoized", "toShortAsShipped"}) {
            std::printf("%-30s %12.3f %12.3f\n", ("emojione " + std::string(name)).c_str(),
                        js.at(name).first, js.at(name).second);
        }
        std::printf("emojione node peak RSS %ld KB\n", static_cast<long>(js.at("peakRssKb").first));
    }
    std::printf("peak RSS of this process %ld KB\n", peakRssKb());

    std::printf("targets (CPU time):\n");
    verdict("unescape / memchr scan, %", unescapeOfScan * 100, ">= 25", unescapeOfScan >= 0.25);
    verdict("escape / memchr scan, %", escapeOfScan * 100, ">= 10", escapeOfScan >= 0.10);
    double unescapeOfJs = 0;
    double escapeOfJs = 0;
    if (!js.empty()) {
        unescapeOfJs = median(unescape.cpu) / js.at("shortnameToUnicode").first;
        escapeOfJs = median(escape.cpu) / js.at("toShortMemoized").first;
        verdict("unescape / emojione shortnameToUnicode, x", unescapeOfJs, ">= 20",
                unescapeOfJs >= 20);
        verdict("escape / emojione toShort memoized, x", escapeOfJs, ">= 8", escapeOfJs >= 8);
    }
    verdict("first use of both structures (wall), ms", firstUseMs, "< 5", firstUseMs < 5);

    // One line for scripts: bench/emoji/run.sh takes the median of each field over its runs.
    std::printf(
        "summary first_use_ms=%.3f names_first_ms=%.3f trie_first_ms=%.3f rss_first_use_kb=%ld "
        "scan_cpu=%.1f unescape_cpu=%.1f escape_cpu=%.1f scan_wall=%.1f unescape_wall=%.1f "
        "escape_wall=%.1f unescape_pct_scan=%.1f escape_pct_scan=%.1f peak_rss_kb=%ld",
        firstUseMs, namesFirstMs, trieFirstMs, rssAfter - rssBefore, median(scan.cpu),
        median(unescape.cpu), median(escape.cpu), median(scan.wall), median(unescape.wall),
        median(escape.wall), unescapeOfScan * 100, escapeOfScan * 100, peakRssKb());
    if (!js.empty()) {
        std::printf(
            " js_unescape_cpu=%.3f js_escape_memo_cpu=%.3f js_escape_shipped_cpu=%.4f "
            "js_unescape_wall=%.3f js_escape_memo_wall=%.3f unescape_x_js=%.1f escape_x_js=%.1f "
            "js_peak_rss_kb=%.0f",
            js.at("shortnameToUnicode").first, js.at("toShortMemoized").first,
            js.at("toShortAsShipped").first, js.at("shortnameToUnicode").second,
            js.at("toShortMemoized").second, unescapeOfJs, escapeOfJs, js.at("peakRssKb").first);
    }
    std::printf("\n");
    return 0;
}
