#include "png.h"

#include <algorithm>
#include <array>

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table = {};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

uint32_t Crc32(const std::string& bytes) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) crc = table[(crc ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::string& bytes) {
    constexpr uint32_t kModulus = 65521;
    uint32_t a = 1;
    uint32_t b = 0;
    for (const char byte : bytes) {
        a = (a + static_cast<uint8_t>(byte)) % kModulus;
        b = (b + a) % kModulus;
    }
    return (b << 16) | a;
}

void PutBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutLittleEndian16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian32(png, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;  // the CRC covers type and data
    png += typed;
    PutBigEndian32(png, Crc32(typed));
}

// A zlib stream of stored blocks: each holds at most 65535 bytes.
std::string StoredZlibStream(const std::string& raw) {
    std::string stream = "\x78\x01";
    size_t offset = 0;
    do {
        const size_t length = std::min<size_t>(65535, raw.size() - offset);
        const bool last = offset + length == raw.size();
        stream += static_cast<char>(last ? 1 : 0);  // BFINAL, and BTYPE 00: stored
        PutLittleEndian16(stream, static_cast<uint32_t>(length));
        PutLittleEndian16(stream, static_cast<uint32_t>(~length & 0xFFFF));
        stream.append(raw, offset, length);
        offset += length;
    } while (offset < raw.size());
    PutBigEndian32(stream, Adler32(raw));
    return stream;
}

}  // namespace

std::string EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::string raw;
    raw.reserve((rowBytes + 1) * height);
    for (uint32_t row = 0; row < height; ++row) {
        raw += '\0';  // filter type None
        raw.append(reinterpret_cast<const char*>(rgb.data()) + row * rowBytes, rowBytes);
    }

    std::string header;
    PutBigEndian32(header, width);
    PutBigEndian32(header, height);
    header += "\x08\x02";          // 8 bits a sample, truecolour
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string png = "\x89PNG\r\n\x1A\n";
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", StoredZlibStream(raw));
    AppendChunk(png, "IEND", std::string());
    return png;
}
