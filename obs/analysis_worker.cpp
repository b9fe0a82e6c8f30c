#include "obs/analysis_worker.h"

#include <cstring>
#include <new>
#include <system_error>

namespace {

void run(AnalysisWorker& w)
{
    std::unique_lock<std::mutex> hold(w.lock);
    for (;;) {
        w.wake.wait(hold, [&] { return w.quit || w.busy; });
        if (w.busy) {
            const StagedPicture picture = w.picture;
            hold.unlock();
            uint32_t maps[256];
            const bool analysed = analysePicture(w.state, w.rows, picture, maps);
            hold.lock();
            if (analysed) {
                std::memcpy(w.maps, maps, sizeof maps);
                ++w.serial;
            }
            w.busy = false;
            continue;
        }
        return;  // quit, nothing in hand
    }
}

}  // namespace

bool startWorker(AnalysisWorker& w)
{
    try {
        w.thread = std::thread(run, std::ref(w));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void stopWorker(AnalysisWorker& w)
{
    if (!w.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(w.lock);
        w.quit = true;
    }
    w.wake.notify_one();
    w.thread.join();
}

bool handOver(AnalysisWorker& w, const StagedPicture& picture)
{
    {
        std::lock_guard<std::mutex> hold(w.lock);
        if (w.busy) return false;
        w.picture = picture;
        w.busy = true;
    }
    w.wake.notify_one();
    return true;
}

bool workerBusy(AnalysisWorker& w)
{
    std::lock_guard<std::mutex> hold(w.lock);
    return w.busy;
}

bool takeMaps(AnalysisWorker& w, uint64_t& serial, uint32_t* words)
{
    std::lock_guard<std::mutex> hold(w.lock);
    if (w.serial == serial) return false;
    std::memcpy(words, w.maps, sizeof w.maps);
    serial = w.serial;
    return true;
}

bool analysePicture(CorrectionState& state, std::vector<uint32_t>& rows,
                    const StagedPicture& p, uint32_t* maps)
{
    const size_t rowBytes = size_t(p.width) * 4;
    if (p.linesize < rowBytes) return false;
    FrameView view{reinterpret_cast<const uint32_t*>(p.bytes), p.width, p.height,
                   intptr_t(p.linesize - rowBytes)};
    // The engine steps through whole words; a GPU's rows are that already.
    if (p.linesize % 4 || reinterpret_cast<uintptr_t>(p.bytes) % alignof(uint32_t)) {
        try {
            rows.resize(size_t(p.width) * size_t(p.height));
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int32_t y = 0; y < p.height; ++y)
            std::memcpy(&rows[size_t(y) * size_t(p.width)], p.bytes + size_t(y) * p.linesize,
                        rowBytes);
        view = {rows.data(), p.width, p.height, 0};
    }
    const FrameCorrection c = analyseFrame(state, p.settings, view, p.time);
    correctionTables(c, maps);
    return true;
}
