// SPDX-License-Identifier: GPL-3.0-or-later
// Time to disassemble a full 4 KiB image in-process, and to load its HEX text.

#include <chrono>
#include <cstdio>

#if __has_include("Listing.h")

#include <cstdint>
#include <random>
#include <string>

#include "Image.h"
#include "Listing.h"

namespace {

std::string HexText(const lpt51::d51::Image& image) {
    std::string text;
    char buf[8];
    for (std::size_t a = 0; a < lpt51::d51::kCodeSize; a += 16) {
        unsigned sum = 16 + (a >> 8) + (a & 0xFF);
        std::snprintf(buf, sizeof buf, ":10%04zX", a);
        text += buf;
        text += "00";
        for (std::size_t i = 0; i < 16; ++i) {
            std::snprintf(buf, sizeof buf, "%02X", image.bytes[a + i]);
            text += buf;
            sum += image.bytes[a + i];
        }
        std::snprintf(buf, sizeof buf, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += buf;
    }
    return text + ":00000001FF\n";
}

template <typename F>
double MicrosecondsPerRun(int runs, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) f();
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / runs;
}

}  // namespace

int main() {
    using namespace lpt51::d51;
    Image image;
    std::mt19937 rng(51);
    for (std::size_t a = 0; a < kCodeSize; ++a) image.Set(a, static_cast<std::uint8_t>(rng()));
    const std::string hex = HexText(image);

    constexpr int kRuns = 200;
    std::size_t sink = 0;
    const double listUs =
        MicrosecondsPerRun(kRuns, [&] { sink += MakeListing(image, "b.hex").size(); });
    const double loadUs = MicrosecondsPerRun(kRuns, [&] { sink += ParseHex(hex).image.last; });
    const std::string listing = MakeListing(image, "b.hex");
    std::printf("d51 listing of a 4096-byte image: %.1f us per run (%zu bytes of listing)\n",
                listUs, listing.size());
    std::printf("d51 HEX load of a 4096-byte image: %.1f us per run\n", loadUs);
    std::printf("(checksum %zu)\n", sink);
    return 0;
}

#else

// Built without the disassembler library on the include path: nothing to time.
int main() {
    std::puts("bench_d51: lpt51_d51 is not linked into this program; nothing measured");
    return 0;
}

#endif
