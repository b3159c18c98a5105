#include "mapdata/label_interpret.h"

#include <atomic>
#include <cmath>
#include <string>

#include "geometry/map_types.h"
#include "platform/text.h"

namespace velka {

namespace {

std::atomic<bool> g_fLabelMetres{true};
constexpr double c_dFeetPerMetre = 3.28084;
constexpr int c_cHeld = c_cDisplayLabelMax - 1;

// The whole text as a decimal number (sign, digits, one point); false when
// it is anything else.
bool ParseNumber(const char16_t* p, std::size_t n, double& d) {
    std::size_t i = 0;
    while (i < n && p[i] == u' ') ++i;
    while (n > i && p[n - 1] == u' ') --n;
    bool fNegative = false;
    if (i < n && (p[i] == u'-' || p[i] == u'+')) fNegative = p[i++] == u'-';
    double v = 0;
    double scale = 0;
    bool fDigits = false;
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if (c >= u'0' && c <= u'9') {
            fDigits = true;
            if (scale == 0) {
                v = v * 10 + (c - u'0');
            } else {
                v += (c - u'0') * scale;
                scale /= 10;
            }
        } else if ((c == u'.' || c == u',') && scale == 0) {
            scale = 0.1;
        } else {
            return false;
        }
    }
    if (!fDigits) return false;
    d = fNegative ? -v : v;
    return true;
}

double Convert(double v, bool fMapMetres) {
    return fMapMetres ? v * c_dFeetPerMetre : v / c_dFeetPerMetre;
}

std::u16string FormatHeight(double v) {
    return FormatW(u"%d", static_cast<int>(std::floor(v + 0.5)));
}
std::u16string FormatDepth(double v) { return FormatW(u"%.1f", v); }

int Put(char16_t* pDisplay, const std::u16string& s, int cMax) {
    int n = 0;
    for (char16_t c : s) {
        if (n >= cMax) break;
        pDisplay[n++] = c;
    }
    pDisplay[n] = 0;
    return n;
}

} // namespace

void SetLabelHeightUnitMetres(bool fMetres) { g_fLabelMetres = fMetres; }
bool LabelHeightUnitMetres() { return g_fLabelMetres; }

int LabelInterpret(int nKind, WORD wType, bool fMapMetres, bool fDetailed, const char16_t* pRaw,
                   std::size_t cRaw, char16_t* pDisplay, int* pnShield) {
    int nShield = 0;
    if (pnShield) *pnShield = 0;
    const bool fUnitsAgree = fMapMetres == LabelHeightUnitMetres();
    if (!fUnitsAgree) {
        const bool fHeight = (nKind == rkPolyline && wType >= 0x20 && wType <= 0x22) ||
                             (nKind == rkPoint && wType >= 0x6300 && wType <= 0x63FF);
        const bool fDepth = (nKind == rkPolyline && wType >= 0x23 && wType <= 0x25) ||
                            (nKind == rkPoint && wType >= 0x6200 && wType <= 0x62FF);
        if (fHeight || fDepth) {
            double v = 0;
            if (!ParseNumber(pRaw, cRaw, v)) {
                pDisplay[0] = 0;
                return 0;
            }
            v = Convert(v, fMapMetres);
            return Put(pDisplay, fHeight ? FormatHeight(v) : FormatDepth(v), c_cHeld);
        }
    }

    int n = 0;
    auto append = [&](char16_t c) {
        if (n < c_cHeld) pDisplay[n++] = c;
    };
    for (std::size_t i = 0; i < cRaw; ++i) {
        const char16_t c = pRaw[i];
        if (c >= 32) {
            append(c);
            continue;
        }
        bool fEnd = false;
        switch (c) {
        case 0:
            fEnd = true;
            break;
        case 1: case 2: case 3: case 4: case 5: case 6:
            nShield = c;
            break;
        case 0x1B:
            if (nKind == rkPolyline && !fDetailed) n = 0;
            break;
        case 0x1C:
            if (nKind == rkPolyline && !fDetailed) fEnd = true;
            break;
        case 0x1D:
            break;
        case 0x1E:
            if (nKind == rkPolyline) {
                if (fDetailed)
                    append(u' ');
                else
                    n = 0;
            }
            break;
        case 0x1F:
            if (nKind == rkPolyline) {
                if (fDetailed)
                    append(u' ');
                else
                    fEnd = true;
            } else if (nKind == rkPoint) {
                if (wType >= 0x6400 && wType <= 0x66FF) {
                    append(u' ');
                    if (!fUnitsAgree) {
                        double v = 0;
                        if (n < 53 && ParseNumber(pRaw + i + 1, cRaw - i - 1, v))
                            n += Put(pDisplay + n, FormatHeight(Convert(v, fMapMetres)), c_cHeld - n);
                        fEnd = true;
                    }
                } else {
                    fEnd = true;
                }
            } else if (nKind == 3) {
                append(u'\u00A9');
            }
            break;
        default: // 7 .. 0x1A are not valid in labels
            break;
        }
        if (fEnd) break;
    }
    pDisplay[n] = 0;
    if (pnShield) *pnShield = nShield;
    return n;
}

} // namespace velka
