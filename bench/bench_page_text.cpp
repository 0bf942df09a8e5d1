// Peak memory of turning a fetched page into text, the way the page fetch
// receives it (16 KiB pieces) and decodes it, at the 4 MiB cap. Reported as
// counters, in MiB: "peak" is the most C++ heap held at once during one page.
// Run: build/bin/bench_page_text
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "base/Utf8.h"
#include "netinfo/PageText.h"

namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

constexpr std::size_t kCap = 4 * 1024 * 1024;
constexpr std::size_t kPiece = 16 * 1024;
constexpr double kMiB = 1024.0 * 1024.0;

void ResetPeak() {
    gPeak = gLive.load();
}

// A page of n bytes that are not UTF-8: every one a Latin-1 "é" (two bytes
// of UTF-8 once read as Mac OS Roman).
std::string Page(std::size_t n) {
    return std::string(n, '\xE9');
}

void Report(benchmark::State& state, std::size_t base) {
    state.counters["peak_MiB"] = static_cast<double>(gPeak - base) / kMiB;
    state.counters["peak_over_cap"] = static_cast<double>(gPeak - base) / kCap;
}

// Runs one page through receive (each 16 KiB piece) and decode, as often as
// the benchmark asks, and reports the peak heap of one run.
template <class Receive, class Decode>
void Measure(benchmark::State& state, Receive receive, Decode decode) {
    const std::string page = Page(static_cast<std::size_t>(state.range(0)));
    const std::size_t base = gLive;
    for (auto _ : state) {
        ResetPeak();
        std::string body;
        for (std::size_t at = 0; at < page.size(); at += kPiece) {
            receive(body, std::string_view(page).substr(at, kPiece));
        }
        benchmark::DoNotOptimize(decode(std::move(body)));
    }
    Report(state, base);
}

// For comparison: a body string left to grow by itself, decoded whatever its
// size. (Before the decoding was sized first, this peaked at seven times the
// cap: 28 MiB for a 4 MiB page.)
void BM_UncappedBody(benchmark::State& state) {
    Measure(
        state, [](std::string& body, std::string_view piece) { body.append(piece); },
        [](std::string&& body) { return base::DecodeLegacyText(body); });
}

void BM_DecodeNow(benchmark::State& state) {
    Measure(
        state,
        [](std::string& body, std::string_view piece) { netinfo::AppendCapped(body, piece, kCap); },
        [](std::string&& body) { return netinfo::PageText(std::move(body), kCap); });
}

// A page whose text just fits the cap, and one at the cap whose text does not.
BENCHMARK(BM_UncappedBody)->Arg(kCap / 2)->Arg(kCap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeNow)->Arg(kCap / 2)->Arg(kCap)->Unit(benchmark::kMillisecond);

}  // namespace

// Every C++ allocation carries its size in front, so the live total is known.
// GCC cannot see that these two replace the pair it checks.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t live = gLive += size;
    for (std::size_t peak = gPeak; live > peak && !gPeak.compare_exchange_weak(peak, live);) {
    }
    return block + kHeader;
}

void operator delete(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    char* block = static_cast<char*>(pointer) - kHeader;
    gLive -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept {
    operator delete(pointer);
}

BENCHMARK_MAIN();
