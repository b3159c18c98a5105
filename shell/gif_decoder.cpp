#include "shell/gif_decoder.h"

#include "shell/resources.h"

#include <array>
#include <cstring>

namespace velka {
namespace {

// Bounds-checked reading of the file's bytes.
class CReader {
public:
    explicit CReader(std::span<const BYTE> data) : m_data(data) {}
    bool Has(std::size_t cb) const { return m_data.size() - m_pos >= cb; }
    BYTE Byte() { return Has(1) ? m_data[m_pos++] : (m_fFailed = true, 0); }
    WORD Word() {
        BYTE lo = Byte();
        return static_cast<WORD>(lo | (Byte() << 8));
    }
    std::span<const BYTE> Take(std::size_t cb) {
        if (!Has(cb)) {
            m_fFailed = true;
            m_pos = m_data.size();
            return {};
        }
        std::span<const BYTE> s = m_data.subspan(m_pos, cb);
        m_pos += cb;
        return s;
    }
    // Skips a chain of data sub-blocks up to its terminator.
    void SkipSubBlocks() {
        while (!m_fFailed) {
            BYTE cb = Byte();
            if (cb == 0) return;
            Take(cb);
        }
    }
    bool Failed() const { return m_fFailed; }

private:
    std::span<const BYTE> m_data;
    std::size_t m_pos = 0;
    bool m_fFailed = false;
};

// The LZW code stream, read least significant bit first across sub-blocks.
class CCodeReader {
public:
    explicit CCodeReader(CReader& reader) : m_reader(reader) {}
    // -1 at the end of the data.
    int Next(int cBits) {
        while (m_cBits < cBits) {
            if (m_cLeft == 0) {
                if (m_fEnd) return -1;
                m_cLeft = m_reader.Byte();
                if (m_cLeft == 0 || m_reader.Failed()) {
                    m_fEnd = true;
                    return -1;
                }
            }
            BYTE b = m_reader.Byte();
            if (m_reader.Failed()) {
                m_fEnd = true;
                return -1;
            }
            --m_cLeft;
            m_acc |= static_cast<std::uint32_t>(b) << m_cBits;
            m_cBits += 8;
        }
        int code = static_cast<int>(m_acc & ((1u << cBits) - 1));
        m_acc >>= cBits;
        m_cBits -= cBits;
        return code;
    }
    // Leaves the reader after the image data's terminator.
    void Finish() {
        if (m_fEnd) return;
        if (m_cLeft) m_reader.Take(m_cLeft);
        m_reader.SkipSubBlocks();
    }

private:
    CReader& m_reader;
    std::uint32_t m_acc = 0;
    int m_cBits = 0;
    int m_cLeft = 0;
    bool m_fEnd = false;
};

std::vector<std::uint32_t> ReadPalette(CReader& reader, int cEntries) {
    std::vector<std::uint32_t> palette;
    std::span<const BYTE> raw = reader.Take(static_cast<std::size_t>(cEntries) * 3);
    for (std::size_t i = 0; i + 2 < raw.size(); i += 3)
        palette.push_back(0xFF000000u | (std::uint32_t{raw[i]} << 16) |
                          (std::uint32_t{raw[i + 1]} << 8) | raw[i + 2]);
    return palette;
}

// Decodes the image's LZW data into colour indexes, at most cPixels of them.
std::vector<BYTE> DecodeIndexes(CReader& reader, std::size_t cPixels) {
    std::vector<BYTE> out;
    int nMinCodeSize = reader.Byte();
    if (reader.Failed() || nMinCodeSize < 1 || nMinCodeSize > 8) return out;
    const int clear = 1 << nMinCodeSize, eoi = clear + 1;
    constexpr int c_cMaxCodes = 4096;
    std::array<std::uint16_t, c_cMaxCodes> prefix{};
    std::array<BYTE, c_cMaxCodes> suffix{}, first{};
    std::array<BYTE, c_cMaxCodes> stack{};
    for (int i = 0; i < clear; ++i)
        suffix[static_cast<std::size_t>(i)] = first[static_cast<std::size_t>(i)] =
            static_cast<BYTE>(i);
    int cBits = nMinCodeSize + 1, next = clear + 2, prev = -1;
    CCodeReader codes(reader);
    while (out.size() < cPixels) {
        int code = codes.Next(cBits);
        if (code < 0 || code == eoi) break;
        if (code == clear) {
            cBits = nMinCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        int cur = code;
        std::size_t depth = 0;
        BYTE firstByte = 0;
        if (code < next) {
            firstByte = first[static_cast<std::size_t>(code)];
        } else if (code == next && prev >= 0) {
            firstByte = first[static_cast<std::size_t>(prev)];
            stack[depth++] = firstByte;
            cur = prev;
        } else {
            break; // a code the table does not hold yet: the data is damaged
        }
        while (cur >= clear) {
            stack[depth++] = suffix[static_cast<std::size_t>(cur)];
            cur = prefix[static_cast<std::size_t>(cur)];
        }
        stack[depth++] = static_cast<BYTE>(cur);
        while (depth > 0 && out.size() < cPixels)
            out.push_back(stack[--depth]);
        if (prev >= 0 && next < c_cMaxCodes) {
            prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(prev);
            suffix[static_cast<std::size_t>(next)] = firstByte;
            first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(prev)];
            ++next;
            if (next == (1 << cBits) && cBits < 12) ++cBits;
        }
        prev = code;
    }
    codes.Finish();
    return out;
}

} // namespace

std::optional<CDecodedImage> DecodeGif(std::span<const BYTE> data) {
    CReader reader(data);
    std::span<const BYTE> sig = reader.Take(6);
    if (sig.size() != 6 ||
        (std::memcmp(sig.data(), "GIF87a", 6) != 0 && std::memcmp(sig.data(), "GIF89a", 6) != 0))
        return std::nullopt;
    CDecodedImage image;
    image.nWidth = reader.Word();
    image.nHeight = reader.Word();
    BYTE flags = reader.Byte();
    reader.Byte(); // background colour: the screen starts transparent
    reader.Byte(); // aspect ratio
    if (reader.Failed() || image.nWidth == 0 || image.nHeight == 0 ||
        static_cast<std::size_t>(image.nWidth) * static_cast<std::size_t>(image.nHeight) >
            c_cMaxGifPixels)
        return std::nullopt;
    std::vector<std::uint32_t> global;
    if (flags & 0x80) global = ReadPalette(reader, 2 << (flags & 7));
    int nTransparent = -1;
    while (!reader.Failed()) {
        BYTE kind = reader.Byte();
        if (kind == 0x21) {
            BYTE label = reader.Byte();
            if (label == 0xF9) {
                BYTE cb = reader.Byte();
                std::span<const BYTE> gce = reader.Take(cb);
                if (gce.size() >= 4) nTransparent = (gce[0] & 1) ? gce[3] : -1;
            }
            reader.SkipSubBlocks();
            continue;
        }
        if (kind != 0x2C) return std::nullopt; // the trailer, or garbage, before any image
        int left = reader.Word(), top = reader.Word(), width = reader.Word(),
            height = reader.Word();
        BYTE imageFlags = reader.Byte();
        std::vector<std::uint32_t> local;
        if (imageFlags & 0x80) local = ReadPalette(reader, 2 << (imageFlags & 7));
        const std::vector<std::uint32_t>& palette = local.empty() ? global : local;
        if (reader.Failed() || palette.empty()) return std::nullopt;
        image.pixels.assign(
            static_cast<std::size_t>(image.nWidth) * static_cast<std::size_t>(image.nHeight), 0);
        std::size_t cPixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (cPixels > c_cMaxGifPixels) return std::nullopt;
        std::vector<BYTE> indexes = DecodeIndexes(reader, cPixels);
        // Rows in file order; an interlaced image sends every 8th row from 0,
        // every 8th from 4, every 4th from 2, then every 2nd from 1.
        std::vector<int> rows;
        rows.reserve(static_cast<std::size_t>(height));
        if (imageFlags & 0x40) {
            for (int pass = 0; pass < 4; ++pass) {
                static const int c_start[4] = {0, 4, 2, 1}, c_step[4] = {8, 8, 4, 2};
                for (int y = c_start[pass]; y < height; y += c_step[pass])
                    rows.push_back(y);
            }
        } else {
            for (int y = 0; y < height; ++y)
                rows.push_back(y);
        }
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            int x = left + static_cast<int>(i % static_cast<std::size_t>(width));
            int y = top + rows[i / static_cast<std::size_t>(width)];
            if (x >= image.nWidth || y >= image.nHeight) continue;
            BYTE index = indexes[i];
            std::uint32_t argb = 0;
            if (index != nTransparent) argb = index < palette.size() ? palette[index] : 0xFF000000u;
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.nWidth) +
                         static_cast<std::size_t>(x)] = argb;
        }
        return image;
    }
    return std::nullopt;
}

std::optional<CDecodedImage> LoadImageStripImage(WORD wId) {
    const std::vector<BYTE>* pData = LoadImageStrip(wId);
    if (!pData) return std::nullopt;
    return DecodeGif(*pData);
}

} // namespace velka
