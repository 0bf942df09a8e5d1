// The cost of the settings reads and writes the program makes all the time:
// every flag read synchronizes first, so an unchanged file must stay cheap.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "settings/Preferences.h"
#include "settings/Readers.h"
#include "settings/SettingsKeys.h"

namespace {

// A private settings folder for the run, holding a typical set of values.
class BenchFolder {
public:
    BenchFolder() {
        char pattern[] = "/tmp/bench-settings-XXXXXX";
        if (mkdtemp(pattern)) {
            root_ = pattern;
        }
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        namespace keys = settings::keys;
        settings::SetAppValue(keys::kTitleIconOnly, true);
        settings::SetAppValue(keys::kMailServer, std::string("smtp.example.org"));
        settings::SetAppValue(keys::kPort, std::string("587"));
        settings::SetAppValue(keys::kMinutesInterval, std::int64_t{30});
        settings::SetAppValue(keys::kEmail, std::string("a@example.org,b@example.org"));
        settings::SetAppValue(keys::kLastIPAddress, std::string("192.0.2.10"));
        settings::AppSynchronize();
    }
    ~BenchFolder() { std::filesystem::remove_all(root_); }

private:
    std::filesystem::path root_;
};

void BM_FlagReadUnchangedFile(benchmark::State& state) {
    BenchFolder folder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::ReadFlag(settings::keys::kTitleIconOnly));
    }
}
BENCHMARK(BM_FlagReadUnchangedFile);

void BM_WriteAndSynchronize(benchmark::State& state) {
    BenchFolder folder;
    std::int64_t round = 0;
    for (auto _ : state) {
        settings::SetAppValue(settings::keys::kMinutesInterval, round++);
        benchmark::DoNotOptimize(settings::AppSynchronize());
    }
}
BENCHMARK(BM_WriteAndSynchronize);

}  // namespace

BENCHMARK_MAIN();
