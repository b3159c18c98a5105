// The record layer shared by the MapSource files: the signature, records of
// a length, a type character and a body, the creator record and the track
// ('T') records of the database (GDB) and document (MPS) flavours.
#pragma once
#include <span>
#include <string>
#include <string_view>

#include "tracks/file_writer.h"
#include "waypoints/byte_reader.h"
#include "waypoints/exchange.h"

namespace velka {

enum MapSourceFlavour { msfNone, msfDatabase, msfDocument };

// "MsRcf" NUL (database) or "MsRcd" NUL (document), file longer than 44 bytes.
MapSourceFlavour MapSourceSignature(std::span<const BYTE> data);

// Walks the records from offset 6. Next() gives each record whose body lies
// inside the data and stops at the first that does not.
class CRecordWalker {
public:
    explicit CRecordWalker(std::span<const BYTE> data);
    bool Next(char& chType, CByteReader& body);
    // The walk reached the end record ('V'): the file is whole. Files cut
    // short (a copy broken off, a full disk) stop before it.
    bool ReachedEnd() const { return m_fEnd; }

private:
    CByteReader m_r;
    bool m_fEnd = false;
};

// A database track: name, display flag, colour, point count, points with
// optional values. False when the record is malformed.
bool ParseGdbTrack(CByteReader body, Track& track);
// A document track: the same head and 31-byte points; the record ends with
// the last point.
bool ParseMpsTrack(CByteReader body, Track& track);

// Every track of a GDB or MPS file, whatever its version; false when the
// data is neither. A file cut short adds its warning to pWarnings.
bool ReadMapSourceTracks(std::span<const BYTE> data, std::vector<Track>& tracks,
                         std::vector<CError>* pWarnings = nullptr);

// The head of a track record after its type: name and NUL, display flag,
// colour 0 and the point count.
void WriteTrackHead(CFileWriter& fw, const std::string& strName, BYTE btDisplay, std::size_t cPoints);

// An IEEE double as its 8 little-endian bytes.
inline void WriteRawDouble(CFileWriter& fw, double d) { fw.WriteBytes(&d, sizeof d); }

// Reads a "flag byte, double when the flag is set" field.
bool ReadOptionalDouble(CByteReader& r, bool& fPresent, double& d);

} // namespace velka
