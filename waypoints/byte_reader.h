// A bounds-checked little-endian cursor over outside bytes. Every read
// fails (returns false and leaves the value alone) instead of reading past
// the end; once a read failed, the cursor stays failed.
#pragma once
#include <cstring>
#include <span>
#include <string_view>

#include "platform/win_types.h"

namespace velka {

class CByteReader {
public:
    CByteReader() = default;
    CByteReader(const BYTE* p, std::size_t cb) : m_p(p), m_pEnd(p + cb) {}
    explicit CByteReader(std::span<const BYTE> data) : CByteReader(data.data(), data.size()) {}

    std::size_t Left() const { return static_cast<std::size_t>(m_pEnd - m_p); }
    bool AtEnd() const { return m_p == m_pEnd; }
    bool Ok() const { return m_fOk; }
    const BYTE* Pos() const { return m_p; }

    bool Skip(std::size_t cb) {
        if (!Need(cb)) return false;
        m_p += cb;
        return true;
    }
    bool Peek(BYTE& bt) const {
        if (!m_fOk || m_p == m_pEnd) return false;
        bt = *m_p;
        return true;
    }
    template <class T> bool Read(T& value) {
        if (!Need(sizeof(T))) return false;
        std::memcpy(&value, m_p, sizeof(T)); // little-endian host
        m_p += sizeof(T);
        return true;
    }
    // A NUL-terminated string; the NUL must lie inside the data.
    bool ReadCString(std::string_view& text) {
        if (!m_fOk) return false;
        const void* pNul = std::memchr(m_p, 0, Left());
        if (!pNul) return Fail();
        const BYTE* pz = static_cast<const BYTE*>(pNul);
        text = std::string_view(reinterpret_cast<const char*>(m_p), static_cast<std::size_t>(pz - m_p));
        m_p = pz + 1;
        return true;
    }
    bool ReadBytes(std::size_t cb, const BYTE*& p) {
        if (!Need(cb)) return false;
        p = m_p;
        m_p += cb;
        return true;
    }
    // A sub-reader over the next cb bytes, which this cursor skips.
    bool Sub(std::size_t cb, CByteReader& sub) {
        if (!Need(cb)) return false;
        sub = CByteReader(m_p, cb);
        m_p += cb;
        return true;
    }
    bool Fail() {
        m_fOk = false;
        return false;
    }

private:
    bool Need(std::size_t cb) {
        if (!m_fOk || Left() < cb) return Fail();
        return true;
    }
    const BYTE* m_p = nullptr;
    const BYTE* m_pEnd = nullptr;
    bool m_fOk = true;
};

} // namespace velka
