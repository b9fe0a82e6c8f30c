// The cases of bench/cases.h timed with a plain loop: the Windows trees have
// no Google Benchmark, so this is their benchmark program, run under wine.
// With --plugin it also times a built plug-in the way a host runs it: loaded
// by LoadLibrary, registered through VirtualdubFilterModuleInit2 with the
// host of the plug-in tests, an instance created, and its frame callback
// called on a FrameContext, against the memcpy of the same frame in the same
// process.
//
//   frame_timing [--repetitions N] [--min-ms M] [--size WxH]... [--plugin PATH]
//
// Each repetition times every case once, in a rotating order, for at least M
// milliseconds of wall-clock time; the table shows the median over the
// repetitions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/cases.h"
#include "bench/ratio_table.h"
#include "tests/plugin/test_host.h"

namespace {

struct Options {
    int repetitions = 9;
    double minSeconds = 0.2;
    std::vector<FrameSize> sizes{std::begin(benchSizes), std::end(benchSizes)};
    const char* plugin = nullptr;
};

bool parseSize(const char* text, FrameSize& size)
{
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (*end != 'x') return false;
    const long h = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    size = {static_cast<int32_t>(w), static_cast<int32_t>(h)};
    return true;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    bool sizeGiven = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--repetitions") {
            o.repetitions = std::atoi(value);
        } else if (flag == "--min-ms") {
            o.minSeconds = std::atof(value) / 1000.0;
        } else if (flag == "--size") {
            FrameSize s;
            if (!parseSize(value, s)) return false;
            if (!sizeGiven) o.sizes.clear();
            sizeGiven = true;
            o.sizes.push_back(s);
        } else if (flag == "--plugin") {
            o.plugin = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && o.repetitions >= 1 && o.minSeconds >= 0.0;
}

// The plug-in as a host holds it: loaded, registered, one instance with its
// default levels, and the frames it is handed.
struct PluginHost {
    Plugin plugin;
    Registration registration;
    Instance instance;
    BitmapView source, destination;

    ~PluginHost()
    {
        if (plugin.deinit) {
            HostServices services = recordingServices();
            plugin.deinit(&registration.moduleRecord, &services);
        }
        unloadPlugin(plugin);
    }
};

// Loads and registers the plug-in and creates its instance; null when the
// plug-in does not load or register.
std::unique_ptr<PluginHost> hostPlugin(const char* path)
{
    auto host = std::make_unique<PluginHost>();
    host->plugin = loadPluginFrom(path);
    if (!host->plugin.init || !host->plugin.deinit) return nullptr;
    registerPlugin(host->plugin, host->registration);
    if (host->registration.result != 0 || !host->registration.descriptor.frameCallback) return nullptr;
    initInstance(host->instance, &host->registration.descriptor, false);
    host->registration.descriptor.createCallback(&host->instance.context);
    return host;
}

// The frame callback on the natural and the flat frame of one size, each a
// case named like the engine's "plugin/scene/WxH".
void addPluginCases(PluginHost& host, BenchFrames& frames, FrameSize size, std::vector<BenchCase>& cases)
{
    for (const Scene scene : {Scene::natural, Scene::flat}) {
        BenchFrame& f = frames.get(scene, size);
        cases.push_back({"plugin/" + std::string(sceneName(scene)) + "/" + sizeName(size),
                         static_cast<double>(f.pixelCount()), [&host, &f] {
                             host.source = f.source.hostView();
                             host.destination = f.destination.hostView();
                             FrameContext& context = host.instance.context;
                             context.source = &host.source;
                             context.destination = &host.destination;
                             host.registration.descriptor.frameCallback(&context);
                         }});
    }
}

// Seconds per frame over at least minSeconds of back-to-back runs.
double timeCase(const BenchCase& c, double minSeconds)
{
    using Clock = std::chrono::steady_clock;
    int64_t runs = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    do {
        c.run();
        ++runs;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < minSeconds);
    return elapsed / static_cast<double>(runs);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: frame_timing [--repetitions N] [--min-ms M] [--size WxH]... [--plugin PATH]\n");
        return 2;
    }
    std::unique_ptr<PluginHost> host;
    if (options.plugin && !(host = hostPlugin(options.plugin))) {
        std::fprintf(stderr, "frame_timing: %s does not load or register as a plug-in\n", options.plugin);
        return 1;
    }

    BenchFrames frames;
    std::vector<BenchCase> cases;
    for (const FrameSize size : options.sizes) {
        for (BenchCase& c : frameCases(frames, {size})) cases.push_back(std::move(c));
        if (host) addPluginCases(*host, frames, size, cases);
    }

    std::vector<std::vector<double>> times(cases.size());
    for (int r = 0; r < options.repetitions; ++r)
        for (size_t i = 0; i < cases.size(); ++i) {
            const size_t k = (i + static_cast<size_t>(r)) % cases.size();
            times[k].push_back(timeCase(cases[k], options.minSeconds));
        }
    std::vector<CaseTime> table;
    for (size_t k = 0; k < cases.size(); ++k) table.push_back({cases[k].name, median(times[k]), cases[k].pixels});

    // Where 32-bit programs run under processor emulation (cmake/wine-run.sh
    // says so), a time measures the emulator, not this code: the cases still
    // run, so the program is exercised, but no figure is shown.
    if (const char* emulated = std::getenv("VELTO_I386_EMULATED"); emulated && *emulated == '1') {
        std::printf("frame_timing: this 32-bit program runs under processor emulation here, so its "
                    "timings mean nothing and none are printed\n");
        return 0;
    }
    std::printf("frame_timing, %d-bit build, median of %d repetitions of at least %.0f ms each%s%s\n",
                static_cast<int>(8 * sizeof(void*)), options.repetitions, options.minSeconds * 1000.0,
                host ? ", plug-in " : "", host ? options.plugin : "");
    printRatioTable(stdout, table, "Wall-clock time; x memcpy = time / memcpy of the same frame in this run.");
    return 0;
}
