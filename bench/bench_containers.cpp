// Pooled containers against their standard-library counterparts, in one run:
// a list filled with 1,000,000 strings and cleared, and a map filled with 100,000 random
// keys and searched for each. Prints "list ratio" and "map ratio" (standard / pooled time).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/CList.h"
#include "base/CString256.h"
#include "kept/CMap.h"

using base::CList;
using base::CString256;
using kept::CMap;

namespace {

constexpr int kListStrings = 1'000'000;
constexpr int kMapKeys = 100'000;

// Words of 8 to 40 letters, the sizes of the names and links the program keeps.
std::vector<std::string> RandomWords(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(8, 40);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::vector<std::string> words(count);
    for (auto& word : words) {
        word.resize(static_cast<std::size_t>(length(random)));
        for (auto& c : word) {
            c = static_cast<char>(letter(random));
        }
    }
    return words;
}

const std::vector<std::string>& ListWords() {
    static const auto words = RandomWords(1024, 1);
    return words;
}

const std::vector<std::string>& MapKeys() {
    static const auto keys = RandomWords(kMapKeys, 2);
    return keys;
}

template <typename To>
std::vector<To> Converted(const std::vector<std::string>& words) {
    std::vector<To> out;
    out.reserve(words.size());
    for (const auto& w : words) {
        out.emplace_back(w.c_str());
    }
    return out;
}

template <typename List, typename Word>
void FillAndClear(List& list, const std::vector<Word>& words) {
    for (int i = 0; i < kListStrings; ++i) {
        list.push_back(words[static_cast<std::size_t>(i) & 1023]);
    }
    benchmark::DoNotOptimize(list.back());
    list.clear();
}

// The same interface as std::list for the two calls the fill needs.
struct PooledStringList : CList<CString256> {
    void push_back(const CString256& s) { append(s); }
    const CString256& back() const { return tail->value; }
};

// Both lists get one untimed round first: the program fills and clears the same lists
// over and over, so the steady state is what counts, not the first touch of fresh memory.
void PooledList(benchmark::State& state) {
    const auto words = Converted<CString256>(ListWords());
    PooledStringList list;
    FillAndClear(list, words);
    for (auto _ : state) {
        FillAndClear(list, words);
    }
}

void StdList(benchmark::State& state) {
    std::list<std::string> list;
    FillAndClear(list, ListWords());
    for (auto _ : state) {
        FillAndClear(list, ListWords());
    }
}

void PooledMap(benchmark::State& state) {
    const auto keys = Converted<CString256>(MapKeys());
    for (auto _ : state) {
        CMap<CString256, CString256> map;
        for (const auto& key : keys) {
            map.insert(key, key);
        }
        for (const auto& key : keys) {
            benchmark::DoNotOptimize(map.lookup(key));
        }
    }
}

void StdMap(benchmark::State& state) {
    const auto& keys = MapKeys();
    for (auto _ : state) {
        std::map<std::string, std::string> map;
        for (const auto& key : keys) {
            map.try_emplace(key, key);
        }
        for (const auto& key : keys) {
            benchmark::DoNotOptimize(map.find(key));
        }
    }
}

BENCHMARK(PooledList)->Unit(benchmark::kMillisecond);
BENCHMARK(StdList)->Unit(benchmark::kMillisecond);
BENCHMARK(PooledMap)->Unit(benchmark::kMillisecond);
BENCHMARK(StdMap)->Unit(benchmark::kMillisecond);

// Shows the usual table and keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }

    void PrintRatio(const char* label, const char* standard, const char* pooled) const {
        auto s = times_.find(standard);
        auto p = times_.find(pooled);
        if (s != times_.end() && p != times_.end() && p->second > 0) {
            std::printf("%s ratio: std/pooled = %.2fx\n", label, s->second / p->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("list", "StdList", "PooledList");
    reporter.PrintRatio("map", "StdMap", "PooledMap");
    benchmark::Shutdown();
    return 0;
}
