// Link harvesting on generated pages of 1 MiB and 4 MiB, one link per 200 bytes. Prints the
// time per MiB of each way for both sizes; a walk that went quadratic would show the 4 MiB
// page costing far more per MiB than the 1 MiB page.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "kept/CText.h"

using base::CList;
using base::CString256;
using kept::CMap;
using kept::CText;

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kLinkSpacing = 200;

// Cycles through the attribute forms the harvester knows, padded with ordinary text.
std::string MakePage(std::size_t size) {
    std::string page;
    page.reserve(size + kLinkSpacing);
    for (std::size_t i = 0; page.size() < size; ++i) {
        std::string n = std::to_string(i);
        std::string chunk;
        switch (i % 4) {
            case 0:
                chunk = "<a HREF=\"docs/page" + n + ".html\">Page " + n + "</a>";
                break;
            case 1:
                chunk = "<img src='img/pic" + n + ".png' alt=\"\">";
                break;
            case 2:
                chunk = "<img SRC=/icons/i" + n + ".gif>";
                break;
            default:
                chunk = "<td background=\"bg" + n + ".jpg\"> see (notes" + n + ".txt)";
                break;
        }
        chunk += " <p>Plain words, e.g. a sentence or two about nothing at all";
        chunk.resize(kLinkSpacing, ' ');
        page += chunk;
    }
    page.resize(size);
    return page;
}

void HarvestAll(benchmark::State& state, const CText* page) {
    for (auto _ : state) {
        CMap<CString256, CString256> links;
        page->extract_hrefs("http://example.test/a/b/index.html", links);
        benchmark::DoNotOptimize(links.count);
    }
}

void HarvestClassic(benchmark::State& state, const CText* page) {
    for (auto _ : state) {
        CList<CString256> links;
        page->classic_extract_hrefs(links);
        benchmark::DoNotOptimize(links.count);
    }
}

// Keeps the measured time of every run, in milliseconds, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> milliseconds;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            milliseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::size_t sizes[] = {1, 4};
    std::vector<CText> pages;
    pages.reserve(2);
    for (std::size_t mib : sizes) {
        pages.emplace_back(MakePage(mib * kMiB).c_str());
    }
    for (std::size_t i = 0; i < 2; ++i) {
        std::string size = std::to_string(sizes[i]) + "MiB";
        benchmark::RegisterBenchmark(("extract_hrefs/" + size).c_str(), HarvestAll, &pages[i])
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("classic_extract_hrefs/" + size).c_str(), HarvestClassic,
                                     &pages[i])
            ->Unit(benchmark::kMillisecond);
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    for (const char* way : {"extract_hrefs", "classic_extract_hrefs"}) {
        double one = reporter.milliseconds[std::string(way) + "/1MiB"];
        double four = reporter.milliseconds[std::string(way) + "/4MiB"];
        std::printf(
            "%-22s 1 MiB page: %8.2f ms/MiB   4 MiB page: %8.2f ms/MiB   4 MiB / 1 MiB: %.2fx\n",
            way, one, four / 4, one > 0 ? four / one : 0.0);
    }
    return 0;
}
