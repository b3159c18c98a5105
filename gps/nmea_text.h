// Feeds NMEA-0183 text from a file or a pipe to the decoder the way a port
// would deliver it, one line per read. Comment lines ('#' at the start of
// a line, as in recorded captures) are dropped; when the decoder gives up
// (an overlong line, say) it is started again, as positioning would start
// the next attempt, and decoding goes on.
#pragma once
#include <string>
#include <string_view>

#include "gps/nmea.h"

namespace velka {

class CNmeaTextFeeder {
public:
    explicit CNmeaTextFeeder(CNmea0183Protocol* pDecoder) : m_pDecoder(pDecoder) {}
    // Any piece of the text; lines may span pieces.
    void Feed(std::string_view text);
    // End of the text: the last line and the last fix.
    void Finish();
    unsigned RestartCount() const { return m_cRestarts; }

private:
    void FeedLine(std::string_view line);

    CNmea0183Protocol* m_pDecoder;
    std::string m_strPartial;
    unsigned m_cRestarts = 0;
};

} // namespace velka
