// Times velmora-brand's marker search (the scanner) against glibc memmem on
// the same generated data: random bytes, and text-like bytes full of the
// marker's first letter. The dialog's plain comparison at every position is
// timed beside them, for reference.
#include "Locate.h"
#include "OwnBlock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

double BestSeconds(int runs, const std::function<void()>& f)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main()
{
    const uint8_t* marker = brand::OwnBlock();
    const size_t size = 64u << 20;
    std::mt19937 rng(1);
    for (const char* kind : {"random bytes", "text-like bytes"}) {
        std::vector<uint8_t> data(size);
        const bool text = std::strcmp(kind, "random bytes") != 0;
        for (auto& b : data)
            b = text ? static_cast<uint8_t>("xgrwd etaoin shrdlu x"[rng() % 21]) : static_cast<uint8_t>(rng());
        const size_t at = size - 4096;
        std::memcpy(data.data() + at, marker, 1120);
        volatile uint64_t sink = 0;
        auto ours = [&] {
            brand::MarkerScanner scanner(marker, size);
            scanner.Feed(data.data(), size);
            sink = sink + scanner.Result().first;
        };
        auto plain = [&] {
            const brand::LocateResult r = brand::LocateBlock(data.data(), static_cast<uint32_t>(size), marker);
            sink = sink + r.first;
        };
        auto glibc = [&] {
            const void* first = memmem(data.data(), size, marker, 60);
            const uint8_t* p = static_cast<const uint8_t*>(first);
            const void* second = memmem(p + 1, size - static_cast<size_t>(p + 1 - data.data()), marker, 60);
            sink = sink + static_cast<uint64_t>(static_cast<const uint8_t*>(second) - p);
        };
        // Taken in turns, so that both meet the same state of the machine.
        double bestOurs = 1e9, bestGlibc = 1e9;
        for (int round = 0; round < 15; ++round) {
            bestOurs = std::min(bestOurs, BestSeconds(1, ours));
            bestGlibc = std::min(bestGlibc, BestSeconds(1, glibc));
        }
        const double bestPlain = BestSeconds(3, plain);
        std::printf(
            "search, 64 MiB of %s: ours %.1f ms, memmem %.1f ms, ratio %.2f (goal <= 1.00); "
            "the dialog's plain scan %.1f ms\n",
            kind, bestOurs * 1e3, bestGlibc * 1e3, bestOurs / bestGlibc, bestPlain * 1e3);
    }
    return 0;
}
