// The frame pass and its phases (bench/cases.h) on the natural and the flat
// frame at 640x480, 1920x1080 and 3840x2160, each against a memcpy of the
// same frame. Run with no arguments for the medians of nine repetitions,
// interleaved at random so that a noisy neighbour hits every case alike; any
// Google Benchmark flag given on the command line wins. Times are the
// thread's processor time, so that time spent waiting for a core shared with
// other work does not count.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "bench/cases.h"
#include "bench/ratio_table.h"

namespace {

// Registers every case and returns their names in order.
std::vector<std::string> registerAll(std::vector<BenchCase>& cases)
{
    std::vector<std::string> names;
    for (BenchCase& c : cases) {
        benchmark::RegisterBenchmark(c.name.c_str(), [&c](benchmark::State& state) {
            for (auto _ : state) {
                c.run();
                benchmark::ClobberMemory();
            }
            state.counters["pixels"] = c.pixels;
        });
        names.push_back(c.name);
    }
    return names;
}

// Prints Google Benchmark's usual lines, then the ratio table built from the
// medians (or from the single runs when there are no repetitions), in the
// order of registration whatever order the cases ran in.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<std::string> order) : order_(std::move(order)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            const auto pixels = run.counters.find("pixels");
            if (pixels == run.counters.end() || run.iterations == 0) continue;
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            results_.push_back({run.run_name.function_name, seconds, pixels->second.value});
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::vector<CaseTime> sorted;
        for (const std::string& name : order_)
            for (const CaseTime& c : results_)
                if (c.name == name) sorted.push_back(c);
        printRatioTable(stdout, sorted,
                        "Medians of the repetitions, thread processor time; x memcpy = time / memcpy of "
                        "the same frame in this run.");
    }

private:
    std::vector<std::string> order_;
    std::vector<CaseTime> results_;
};

}  // namespace

int main(int argc, char** argv)
{
    // Defaults first, so that the same flags given by the caller override them.
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=9";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char minTime[] = "--benchmark_min_time=0.2";
    for (char* a : {repetitions, aggregatesOnly, interleave, minTime}) args.push_back(a);
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    BenchFrames frames;
    std::vector<BenchCase> cases = frameCases(frames, {std::begin(benchSizes), std::end(benchSizes)});
    RatioReporter reporter(registerAll(cases));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
