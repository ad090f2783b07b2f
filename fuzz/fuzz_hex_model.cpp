// SPDX-License-Identifier: GPL-3.0-or-later
// Differential: lpt51's reading of Intel HEX (the Open walk, then the write's
// scan) against a small reader written here from the format's definition
// alone. Whatever text both accept, they must put the same bytes at the same
// addresses. The model is strict where lpt51 is lenient (start code, record
// length, blank lines), so it accepts fewer texts; it must never disagree on
// one they both accept.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/HexField.h"
#include "image/HexScan.h"
#include "image/OpenWalk.h"

namespace {

constexpr std::size_t kChipBytes = 4096;

struct Memory {
    std::array<int, kChipBytes> cell;  // -1 where nothing is loaded
    Memory() { cell.fill(-1); }
};

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A record is ':' followed by pairs of hex digits: length, address (two
// bytes), type, `length` data bytes and a checksum that makes the sum of all
// of them zero modulo 256. Nothing may follow it on its line.
std::optional<std::vector<std::uint8_t>> Record(std::string_view line) {
    if (line.empty() || line[0] != ':' || line.size() % 2 != 1 || line.size() < 11)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i < line.size(); i += 2) {
        const int hi = Nibble(line[i]);
        const int lo = Nibble(line[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    if (bytes.size() != std::size_t{bytes[0]} + 5) return std::nullopt;
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) sum += b;
    if (sum % 256 != 0) return std::nullopt;
    return bytes;
}

// Lines end with LF, optionally preceded by CR. Reading ends at the end
// record (type 01, no data). A data record (00) loads its bytes at the
// current base plus its address; an extended segment address (02) sets the
// base to its value times 16, an extended linear address (04) to its value
// times 65536; start addresses (03, 05) load nothing. Two loads of one cell
// with different values, a byte beyond the chip and any other type are
// refused, and so is a text without an end record or without any data.
std::optional<Memory> Model(std::string_view text) {
    Memory memory;
    std::uint32_t base = 0;
    bool any = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto record = Record(line);
        if (!record) return std::nullopt;
        const std::vector<std::uint8_t>& r = *record;
        const std::size_t length = r[0];
        const std::uint32_t offset = (std::uint32_t{r[1]} << 8) | r[2];
        switch (r[3]) {
            case 0x00:
                for (std::size_t k = 0; k < length; ++k) {
                    const std::uint64_t address = std::uint64_t{base} + offset + k;
                    if (address >= kChipBytes) return std::nullopt;
                    int& cell = memory.cell[address];
                    if (cell >= 0 && cell != r[4 + k]) return std::nullopt;
                    cell = r[4 + k];
                    any = true;
                }
                break;
            case 0x01:
                if (length != 0 || !any) return std::nullopt;
                return memory;
            case 0x02:
            case 0x04:
                if (length != 2) return std::nullopt;
                base = ((std::uint32_t{r[4]} << 8) | r[5]) << (r[3] == 0x02 ? 4 : 16);
                break;
            case 0x03:
            case 0x05:
                break;
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<Memory> Lpt51(std::string_view text) {
    using namespace lpt51::image;
    const Lines lines = SplitLines(text);
    if (ValidateImage(lines).outcome != OpenResult::Outcome::Accepted) return std::nullopt;
    const ScannedImage scan = ScanImage(lines);
    if (scan.problem) return std::nullopt;
    Memory memory;
    for (const WalkRecord& rec : scan.records) {
        std::size_t address = (std::size_t{rec.addrHigh} << 8) | rec.addrLow;
        for (const std::uint8_t b : rec.bytes) memory.cell[address++] = b;
    }
    return memory;
}

// A mutated record seldom keeps a right checksum, and the model refuses
// every text with a wrong one: the text is also tried with the last pair of
// every line that looks like a record replaced by the sum it needs.
std::string WithChecksumsMended(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(text);
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::size_t stop = end;
        if (stop > start && out[stop - 1] == '\r') --stop;
        const std::size_t length = stop - start;
        if (length >= 11 && length % 2 == 1 && out[start] == ':') {
            unsigned sum = 0;
            bool hex = true;
            for (std::size_t i = start + 1; i + 2 < stop; i += 2) {
                const int hi = Nibble(out[i]);
                const int lo = Nibble(out[i + 1]);
                hex = hex && hi >= 0 && lo >= 0;
                sum += static_cast<unsigned>(hi * 16 + lo);
            }
            if (hex) {
                const unsigned check = (0x100 - (sum & 0xFF)) & 0xFF;
                out[stop - 2] = kDigits[check >> 4];
                out[stop - 1] = kDigits[check & 0x0F];
            }
        }
        start = end + 1;
    }
    return out;
}

void Compare(std::string_view text) {
    const auto model = Model(text);
    if (!model) return;
    const auto lpt51 = Lpt51(text);
    if (lpt51 && lpt51->cell != model->cell) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Compare(text);
    Compare(WithChecksumsMended(text));
    return 0;
}
