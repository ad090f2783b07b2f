#include "Image.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace lpt51::d51 {

void Image::Set(std::size_t address, std::uint8_t value) {
    bytes[address] = value;
    defined[address] = true;
    if (!any || address < first) first = address;
    if (!any || address > last) last = address;
    any = true;
}

namespace {

std::optional<std::uint8_t> HexByte(std::string_view s, std::size_t pos) {
    if (pos + 2 > s.size()) return std::nullopt;
    int v = 0;
    for (std::size_t i = pos; i < pos + 2; ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        v = v * 16 + d;
    }
    return static_cast<std::uint8_t>(v);
}

std::string LineError(std::size_t lineNo, const std::string& what) {
    return "line " + std::to_string(lineNo) + ": " + what;
}

std::string Hex4(std::size_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04zX", v);
    return buf;
}

}  // namespace

LoadResult ParseHex(std::string_view text) {
    LoadResult r;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty()) continue;
        if (line[0] != ':') {
            r.error = LineError(lineNo, "record does not start with ':'");
            return r;
        }
        auto count = HexByte(line, 1);
        if (!count) {
            r.error = LineError(lineNo, "byte count is not hexadecimal");
            return r;
        }
        std::size_t expectLen = 11 + 2 * std::size_t{*count};
        if (line.size() != expectLen) {
            r.error = LineError(lineNo, "record length does not match its byte count");
            return r;
        }
        std::vector<std::uint8_t> fields;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            auto b = HexByte(line, i);
            if (!b) {
                r.error = LineError(
                    lineNo, "field at column " + std::to_string(i + 1) + " is not hexadecimal");
                return r;
            }
            fields.push_back(*b);
        }
        unsigned sum = 0;
        for (auto b : fields) sum += b;
        if ((sum & 0xFF) != 0) {
            r.error = LineError(lineNo, "checksum mismatch");
            return r;
        }
        std::size_t address = (std::size_t{fields[1]} << 8) | fields[2];
        std::uint8_t type = fields[3];
        const std::uint8_t* data = fields.data() + 4;
        if (type == 0x01) break;
        if (type == 0x00) {
            if (address + *count > kCodeSize) {
                r.error = LineError(
                    lineNo, "data at " + Hex4(address) + "H reaches beyond the 4 KiB code memory");
                return r;
            }
            for (std::size_t i = 0; i < *count; ++i) r.image.Set(address + i, data[i]);
        } else if (type == 0x02 || type == 0x04) {
            if (*count != 2 || data[0] != 0 || data[1] != 0) {
                r.error = LineError(lineNo, "extended address beyond the 4 KiB code memory");
                return r;
            }
        } else if (type == 0x03 || type == 0x05) {
            // A start address means nothing to a chip that always starts at 0000H.
        } else {
            r.error = LineError(lineNo, "unknown record type " + std::to_string(type));
            return r;
        }
    }
    if (r.image.empty()) {
        r.error = "no data records";
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace lpt51::d51
