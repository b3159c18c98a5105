// Labels of IMG maps: the six-bit coding and the eight-bit coding with its
// code page (UTF-8 for code page 65001).
#include <unicode/ucnv.h>

#include <algorithm>
#include <string>

#include "mapdata/img_parser.h"

namespace velka {

std::size_t DecodeSixBitLabel(const BYTE* p, std::size_t cb, char16_t* pRaw, std::size_t cchRaw) {
    if (!pRaw || cchRaw == 0) return 0;
    enum { stNormal, stSmall, stSymbol } state = stNormal;
    bool fCapital = true;
    std::size_t n = 0;
    auto put = [&](char16_t c) {
        if (n + 1 < cchRaw) pRaw[n++] = c;
    };
    // Four codes of six bits in every three bytes, most significant first;
    // a code whose bits run past the data ends the label.
    const std::size_t cCodes = cb * 8 / 6;
    for (std::size_t i = 0; i < cCodes && n + 1 < cchRaw; ++i) {
        const std::size_t nBit = i * 6;
        const std::size_t nByte = nBit / 8;
        const unsigned nWord =
            static_cast<unsigned>(p[nByte]) << 8 | (nByte + 1 < cb ? p[nByte + 1] : 0u);
        const unsigned c = (nWord >> (10 - nBit % 8)) & 0x3F;
        if (c > 0x2F) break;
        if (state == stSymbol) {
            state = stNormal;
            if (c == 0) put(u'@');
            else if (c == 2) put(u'\'');
            else if ((c >= 1 && c <= 15) || (c >= 0x1A && c <= 0x1F)) put(static_cast<char16_t>(0x20 + c));
            else if (c >= 0x2B && c <= 0x2F) put(static_cast<char16_t>(0x30 + c));
            else put(u'?');
            continue;
        }
        if (state == stSmall) {
            state = stNormal;
            if (c >= 1 && c <= 26) {
                put(static_cast<char16_t>(u'a' + c - 1));
                fCapital = false;
            } else if (c >= 0x20 && c <= 0x29) put(static_cast<char16_t>(u'0' + c - 0x20));
            else if (c == 0x2B) put(0x1B);
            else if (c == 0x2C) put(0x1C);
            else put(u'?');
            continue;
        }
        if (c == 0) {
            put(u' ');
            fCapital = true;
        } else if (c <= 26) {
            put(static_cast<char16_t>((fCapital ? u'A' : u'a') + c - 1));
            fCapital = false;
        } else if (c == 0x1B) {
            state = stSmall;
        } else if (c == 0x1C) {
            state = stSymbol;
        } else if (c <= 0x1F) {
            put(static_cast<char16_t>(c));
        } else if (c <= 0x29) {
            put(static_cast<char16_t>(u'0' + c - 0x20));
        } else {
            put(static_cast<char16_t>(c - 0x29)); // shield codes 1-6
        }
    }
    pRaw[n] = 0;
    return n;
}

// The code page a label or header text without one is read in. The
// program's texts are Russian, but IMG files without a code page field are
// the old Western ones; Windows-1252 reads those and plain ASCII alike.
constexpr WORD c_wDefaultCodePage = 1252;

UConverter* OpenCodePageConverter(WORD wCodePage) {
    if (wCodePage == 0) wCodePage = c_wDefaultCodePage;
    const std::string strNumber = std::to_string(wCodePage);
    const std::string astrNames[] = {"windows-" + strNumber, "cp" + strNumber, "ibm-" + strNumber};
    if (wCodePage == 65001) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter* p = ucnv_open("UTF-8", &err);
        return U_SUCCESS(err) ? p : nullptr;
    }
    for (const std::string& strName : astrNames) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter* p = ucnv_open(strName.c_str(), &err);
        if (U_SUCCESS(err) && p) return p;
    }
    return nullptr;
}

void CloseCodePageConverter(UConverter* p) {
    if (p) ucnv_close(p);
}

std::size_t DecodeEightBit(UConverter* pConverter, const BYTE* p, std::size_t cb, char16_t* pOut,
                           std::size_t cchOut) {
    if (!pOut || cchOut == 0) return 0;
    std::size_t n = 0;
    if (!pConverter) {
        for (; n < cb && n + 1 < cchOut; ++n) pOut[n] = p[n];
        pOut[n] = 0;
        return n;
    }
    // Convert the whole text, then cut whole characters only.
    UChar buffer[1100];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(pConverter);
    const int32_t cch = ucnv_toUChars(pConverter, buffer, 1100, reinterpret_cast<const char*>(p),
                                      static_cast<int32_t>(std::min<std::size_t>(cb, 1024)), &err);
    if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR && err != U_STRING_NOT_TERMINATED_WARNING) {
        pOut[0] = 0;
        return 0;
    }
    const std::size_t cAvail = std::min<std::size_t>(static_cast<std::size_t>(std::max(cch, 0)), 1100);
    for (; n < cAvail && n + 1 < cchOut; ++n) pOut[n] = buffer[n];
    if (n > 0 && n < cAvail && (pOut[n - 1] & 0xFC00) == 0xD800) --n; // half a surrogate pair
    pOut[n] = 0;
    return n;
}

} // namespace velka
