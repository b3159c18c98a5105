#include "platform/text.h"

#include <clocale>
#include <cstdio>
#include <locale.h>
#include <vector>

// The formatter builds narrow conversion specs at run time from checked parts.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace velka {

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // unpaired surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t n = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            n = 2;
            c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 3;
            c = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 4;
            c = b & 0x07;
        } else {
            n = 0;
        }
        if (n == 0 || i + n > text.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool ok = true;
        for (std::size_t k = 1; k < n; ++k) {
            unsigned char cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += n;
        if (c >= 0x10000 && c < 0x110000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else if (c < 0x110000) {
            out += static_cast<char16_t>(c);
        } else {
            out += u'\uFFFD';
        }
    }
    return out;
}

std::u16string FormatW(const char16_t* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    std::u16string s = FormatWV(szFormat, args);
    va_end(args);
    return s;
}

namespace {

void AppendPadded(std::u16string& out, std::u16string_view text, int nWidth, bool fLeft) {
    std::size_t cPad = nWidth > 0 && static_cast<std::size_t>(nWidth) > text.size()
                           ? static_cast<std::size_t>(nWidth) - text.size()
                           : 0;
    if (!fLeft) out.append(cPad, u' ');
    out.append(text);
    if (fLeft) out.append(cPad, u' ');
}

// Reals are written in the C locale whatever the process locale says (a
// desktop whose locale writes "12,5" must not change stored texts).
void FormatRealC(char* pBuffer, std::size_t cb, const char* szSpec, double v) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t old = c_locale ? uselocale(c_locale) : static_cast<locale_t>(nullptr);
    std::snprintf(pBuffer, cb, szSpec, v);
    if (old) uselocale(old);
}

} // namespace

std::u16string FormatWV(const char16_t* szFormat, va_list argsIn) {
    va_list args;
    va_copy(args, argsIn);
    std::u16string out;
    if (!szFormat) {
        va_end(args);
        return out;
    }
    for (const char16_t* p = szFormat; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const char16_t* pStart = p;
        ++p;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        std::string strSpec = "%";
        bool fLeft = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-') fLeft = true;
            strSpec += static_cast<char>(*p++);
        }
        int nWidth = -1;
        if (*p == u'*') {
            nWidth = va_arg(args, int);
            if (nWidth < 0) {
                fLeft = true;
                nWidth = -nWidth;
            }
            strSpec += std::to_string(nWidth);
            ++p;
        } else {
            int w = 0;
            bool fAny = false;
            while (*p >= u'0' && *p <= u'9') {
                w = w * 10 + (*p - u'0');
                strSpec += static_cast<char>(*p++);
                fAny = true;
            }
            if (fAny) nWidth = w;
        }
        int nPrecision = -1;
        if (*p == u'.') {
            strSpec += '.';
            ++p;
            if (*p == u'*') {
                nPrecision = va_arg(args, int);
                strSpec += std::to_string(nPrecision < 0 ? 0 : nPrecision);
                ++p;
            } else {
                int pr = 0;
                while (*p >= u'0' && *p <= u'9') {
                    pr = pr * 10 + (*p - u'0');
                    strSpec += static_cast<char>(*p++);
                }
                nPrecision = pr;
            }
        }
        int cLong = 0;
        bool fHalf = false;
        while (*p == u'l' || *p == u'h' || *p == u'I' || *p == u'z') {
            if (*p == u'l') ++cLong;
            if (*p == u'h') fHalf = true;
            if (*p == u'z') cLong = 2;
            ++p;
        }
        char16_t conv = *p;
        char buf[512];
        switch (conv) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            bool fSigned = conv == u'd' || conv == u'i';
            strSpec += "ll";
            strSpec += static_cast<char>(conv);
            if (fSigned) {
                long long v = cLong >= 2 ? va_arg(args, long long)
                              : cLong == 1 ? va_arg(args, long)
                                           : va_arg(args, int);
                if (fHalf) v = static_cast<short>(v);
                std::snprintf(buf, sizeof buf, strSpec.c_str(), v);
            } else {
                unsigned long long v = cLong >= 2 ? va_arg(args, unsigned long long)
                                       : cLong == 1 ? va_arg(args, unsigned long)
                                                    : va_arg(args, unsigned int);
                if (fHalf) v = static_cast<unsigned short>(v);
                std::snprintf(buf, sizeof buf, strSpec.c_str(), v);
            }
            out += FromUtf8(buf);
            break;
        }
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G': {
            strSpec += static_cast<char>(conv);
            double v = va_arg(args, double);
            FormatRealC(buf, sizeof buf, strSpec.c_str(), v);
            out += FromUtf8(buf);
            break;
        }
        case u'c': {
            char16_t c = static_cast<char16_t>(va_arg(args, int));
            AppendPadded(out, std::u16string_view(&c, 1), nWidth, fLeft);
            break;
        }
        case u's': {
            const char16_t* s = va_arg(args, const char16_t*);
            std::u16string_view sv = s ? std::u16string_view(s) : std::u16string_view(u"(null)");
            if (nPrecision >= 0 && sv.size() > static_cast<std::size_t>(nPrecision))
                sv = sv.substr(0, static_cast<std::size_t>(nPrecision));
            AppendPadded(out, sv, nWidth, fLeft);
            break;
        }
        case u'S': {
            const char* s = va_arg(args, const char*);
            std::u16string w = FromUtf8(s ? s : "(null)");
            std::u16string_view sv = w;
            if (nPrecision >= 0 && sv.size() > static_cast<std::size_t>(nPrecision))
                sv = sv.substr(0, static_cast<std::size_t>(nPrecision));
            AppendPadded(out, sv, nWidth, fLeft);
            break;
        }
        case 0:
            out.append(pStart, p);
            va_end(args);
            return out;
        default:
            // Unknown conversion: copy it as it stands.
            out.append(pStart, p + 1);
            break;
        }
    }
    va_end(args);
    return out;
}

void CopyToBuffer(char16_t* pBuffer, std::size_t cchBuffer, std::u16string_view text) {
    if (cchBuffer == 0 || !pBuffer) return;
    std::size_t n = text.size() < cchBuffer - 1 ? text.size() : cchBuffer - 1;
    text.copy(pBuffer, n);
    pBuffer[n] = 0;
}

std::size_t StrLenW(const char16_t* sz) {
    std::size_t n = 0;
    if (sz)
        while (sz[n]) ++n;
    return n;
}

bool EqualNoCaseAscii(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t ca = a[i], cb = b[i];
        if (ca >= u'A' && ca <= u'Z') ca = static_cast<char16_t>(ca + 32);
        if (cb >= u'A' && cb <= u'Z') cb = static_cast<char16_t>(cb + 32);
        if (ca != cb) return false;
    }
    return true;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += c;
        }
    }
    return out;
}

std::vector<ScriptCommand> ParseCommandScript(std::string_view script) {
    std::vector<ScriptCommand> commands;
    std::size_t pos = 0;
    while (pos <= script.size()) {
        std::size_t end = script.find(';', pos);
        if (end == std::string_view::npos) end = script.size();
        const std::string_view command = script.substr(pos, end - pos);
        pos = end + 1;
        if (command.empty()) continue;
        const std::size_t eq = command.find('=');
        commands.push_back({std::string(command), std::string(command.substr(0, eq)),
                            eq == std::string_view::npos ? std::string() : std::string(command.substr(eq + 1))});
    }
    return commands;
}

} // namespace velka
