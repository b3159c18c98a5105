#include "gps/nmea_text.h"

#include <cstring>

namespace velka {

namespace {
constexpr std::size_t c_cbMaxRead = 4096;
}

void CNmeaTextFeeder::FeedLine(std::string_view line) {
    if (!line.empty() && line[0] == '#') return;
    while (!line.empty()) {
        std::size_t cb = line.size() < c_cbMaxRead ? line.size() : c_cbMaxRead;
        int nResult = m_pDecoder->OnData(reinterpret_cast<const BYTE*>(line.data()), static_cast<DWORD>(cb));
        if (nResult == c_nGpsGiveUp) {
            m_pDecoder->Start();
            ++m_cRestarts;
        }
        line.remove_prefix(cb);
    }
}

void CNmeaTextFeeder::Feed(std::string_view text) {
    while (!text.empty()) {
        const void* pNl = std::memchr(text.data(), '\n', text.size());
        if (!pNl) {
            m_strPartial.append(text);
            // A line without end is fed once it is as long as one read.
            if (m_strPartial.size() >= c_cbMaxRead) {
                FeedLine(m_strPartial);
                m_strPartial.clear();
            }
            return;
        }
        std::size_t cb = static_cast<std::size_t>(static_cast<const char*>(pNl) - text.data()) + 1;
        if (m_strPartial.empty()) {
            FeedLine(text.substr(0, cb));
        } else {
            m_strPartial.append(text.substr(0, cb));
            FeedLine(m_strPartial);
            m_strPartial.clear();
        }
        text.remove_prefix(cb);
    }
}

void CNmeaTextFeeder::Finish() {
    if (!m_strPartial.empty()) FeedLine(m_strPartial);
    m_strPartial.clear();
    m_pDecoder->Finish();
}

} // namespace velka
