// OziExplorer waypoint (WPT) and route (RTE) files: text lines of comma
// separated fields in the ANSI code page, coordinates in WGS 84 degrees.
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "platform/text.h"
#include "shell/string_ids.h"
#include "waypoints/ansi_text.h"
#include "waypoints/export_file.h"
#include "waypoints/exchange.h"

namespace velka {
namespace {

constexpr double c_dFeetPerMetre = 3.28084;
constexpr char c_chComma = static_cast<char>(209); // a comma inside a text field
constexpr std::size_t c_cchMaxComment = 40;

// The lines of a text file; a line ends at LF, a CR before it is dropped.
class CLineReader {
public:
    explicit CLineReader(std::span<const BYTE> data)
        : m_p(reinterpret_cast<const char*>(data.data())), m_pEnd(m_p + data.size()) {}
    bool Next(std::string_view& line) {
        if (m_p == m_pEnd) return false;
        const void* pLf = std::memchr(m_p, '\n', static_cast<std::size_t>(m_pEnd - m_p));
        const char* pEol = pLf ? static_cast<const char*>(pLf) : m_pEnd;
        line = std::string_view(m_p, static_cast<std::size_t>(pEol - m_p));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_p = pLf ? pEol + 1 : m_pEnd;
        return true;
    }

private:
    const char* m_p;
    const char* m_pEnd;
};

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                             : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Field n (1-based), or empty when the line has fewer.
std::string_view Field(const std::vector<std::string_view>& fields, std::size_t n) {
    return n >= 1 && n <= fields.size() ? fields[n - 1] : std::string_view();
}
bool HasField(const std::vector<std::string_view>& fields, std::size_t n) {
    return n >= 1 && n <= fields.size();
}

bool ParseReal(std::string_view s, double& d) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    return res.ec == std::errc() && res.ptr == s.data() + s.size() && std::isfinite(d);
}

std::u16string FieldText(std::string_view s) {
    std::string a(s);
    for (char& c : a)
        if (c == c_chComma) c = ',';
    return AnsiToUtf16(a);
}

bool ParseCoordinates(const std::vector<std::string_view>& fields, std::size_t nLat, LONG& lLat,
                      LONG& lLon) {
    double dLat = 0, dLon = 0;
    if (!ParseReal(Field(fields, nLat), dLat) || !ParseReal(Field(fields, nLat + 1), dLon))
        return false;
    if (std::fabs(dLat) > 90 || std::fabs(dLon) > 180) return false;
    lLat = static_cast<LONG>(std::llround(dLat * 2147483648.0 / 180.0));
    lLon = static_cast<LONG>(std::llround(std::min(dLon, 179.9999999) * 2147483648.0 / 180.0));
    return true;
}

// Probe and datum check of the four header lines.
bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool ProbeHeader(std::span<const BYTE> data, std::string_view a, std::string_view b) {
    CLineReader lines(data);
    std::string_view first;
    if (!lines.Next(first)) return false;
    if (StartsWith(first, "\xEF\xBB\xBF")) first.remove_prefix(3);
    return StartsWith(first, a) || StartsWith(first, b);
}

bool CheckDatum(CLineReader& lines, CError& error) {
    std::string_view first, datum;
    lines.Next(first);
    lines.Next(datum);
    const std::string_view field = Trim(SplitFields(datum)[0]);
    if (field == "WGS 84") return true;
    const std::u16string strDatum = AnsiToUtf16(field);
    error = CError(ErrorCode::UnknownDatum, {strDatum});
    return false;
}

// A text field as written: ANSI, CR and LF as blanks, commas as byte 209.
std::string OziText(const std::u16string& s, std::size_t cbMax = std::string::npos) {
    std::string a = Utf16ToAnsi(s);
    for (char& c : a) {
        if (c == '\r' || c == '\n') c = ' ';
        else if (c == ',') c = c_chComma;
    }
    if (a.size() > cbMax) a.resize(cbMax);
    return a;
}

void WriteText(CFileWriter& fw, const std::string& s) { fw.WriteText(s.data(), s.size()); }

// Coordinates with six decimals and dates with seven, as OziExplorer writes
// them: five would move points by up to a metre and times by a second.
void WriteDegrees(CFileWriter& fw, LONG l) { WriteText(fw, FormatFixed(l * (180.0 / 2147483648.0), 6)); }
void WriteDays(CFileWriter& fw, double d) { WriteText(fw, FormatFixed(d, 7)); }

void WriteHeader(CFileWriter& fw, const char* szFirst, const char* szThird, const char* szFourth) {
    fw.Printf("%s\r\nWGS 84\r\n%s\r\n%s\r\n", szFirst, szThird, szFourth);
}

} // namespace

// Past the four header lines of a file its probe accepted and whose datum
// is WGS 84; false (another datum's error set) otherwise.
static bool OpenOziFile(std::span<const BYTE> data, ProbeFn pfnProbe, CLineReader& lines,
                        CError& error) {
    if (!pfnProbe(data) || !CheckDatum(lines, error)) return false;
    std::string_view line;
    lines.Next(line);
    lines.Next(line);
    return true;
}

bool ProbeWpt(std::span<const BYTE> data) {
    return ProbeHeader(data, "OziExplorer Waypoint File", "OziExplorer CE Waypoint File");
}

bool ImportWpt(std::span<const BYTE> data, ImportTarget& target) {
    CLineReader lines(data);
    if (!OpenOziFile(data, ProbeWpt, lines, target.m_error)) return false;
    std::string_view line;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    while (lines.Next(line)) {
        if (line.empty()) continue;
        const auto fields = SplitFields(line);
        auto w = std::make_unique<Waypoint>();
        if (!ParseCoordinates(fields, 3, w->lY, w->lX)) continue;
        w->strName = FieldText(Field(fields, 2));
        double d = 0;
        if (ParseReal(Field(fields, 5), d) && d != 0) w->dTime = d;
        if (HasField(fields, 11)) w->strComment = FieldText(Field(fields, 11));
        if (ParseReal(Field(fields, 14), d)) w->fDepth = static_cast<float>(d);
        if (ParseReal(Field(fields, 15), d) && d > -777) w->fAltitude = static_cast<float>(d / c_dFeetPerMetre);
        else w->dwFlags |= wfNoAltitude;
        waypoints.push_back(std::move(w));
    }
    target.Commit(std::move(waypoints), {});
    return true;
}

bool ExportWpt(const std::string& strPath, const CWaypointStore& store, bool,
               const std::vector<Track>*, CError& error) {
    CExportFile file(error);
    if (!file.Create(strPath)) return false;
    CFileWriter& fw = file.Writer();
    fw.SetPrecision(5);
    WriteHeader(fw, "OziExplorer Waypoint File Version 1.0", "Reserved 2", "Reserved 3");
    DWORD n = 0;
    for (const auto& p : store.Waypoints()) {
        const Waypoint& w = *p;
        if (w.IsDeleted()) continue;
        ++n;
        fw.WriteUInt(n);
        fw.WriteChar(',');
        if (w.strName.empty()) fw.WriteUInt(n);
        else WriteText(fw, OziText(w.strName));
        fw.WriteChar(',');
        WriteDegrees(fw, w.lY);
        fw.WriteChar(',');
        WriteDegrees(fw, w.lX);
        fw.WriteString(", ");
        if (w.dTime != 0) WriteDays(fw, w.dTime);
        fw.WriteString(", 0, 1, 3,         0,     65535,");
        WriteText(fw, OziText(w.strComment, c_cchMaxComment));
        fw.WriteString(", 0, 0, ");
        fw.WriteDouble(w.fDepth);
        fw.WriteString(", ");
        if (w.HasAltitude()) fw.WriteDouble(w.fAltitude * c_dFeetPerMetre);
        else fw.WriteString("-777");
        fw.WriteString("\r\n");
    }
    return file.Commit();
}

bool ProbeRte(std::span<const BYTE> data) {
    return ProbeHeader(data, "OziExplorer Route File", "OziExplorer CE Route File");
}

bool ImportRte(std::span<const BYTE> data, ImportTarget& target) {
    CLineReader lines(data);
    if (!OpenOziFile(data, ProbeRte, lines, target.m_error)) return false;
    std::string_view line;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    std::vector<std::unique_ptr<Route>> routes;
    std::unique_ptr<Route> route;
    auto close = [&] {
        if (route && !route->points.empty()) routes.push_back(std::move(route));
        route.reset();
    };
    while (lines.Next(line)) {
        const auto fields = SplitFields(line);
        const std::string_view kind = Trim(Field(fields, 1));
        if (kind == "R") {
            close();
            route = std::make_unique<Route>();
            route->dTime = NowUtcOle();
            route->strName = FieldText(Field(fields, 3));
            if (HasField(fields, 4)) route->strText2 = FieldText(Field(fields, 4));
            double d = 0;
            if (ParseReal(Field(fields, 5), d) && d >= 0 && d <= 4294967295.0)
                route->dwColor = static_cast<DWORD>(d);
        } else if (kind == "W" && route) {
            auto w = std::make_unique<Waypoint>();
            if (!ParseCoordinates(fields, 6, w->lY, w->lX)) continue;
            w->dwFlags = wfRouteOwned | wfNoAltitude;
            w->strName = FieldText(Field(fields, 5));
            double d = 0;
            if (ParseReal(Field(fields, 8), d) && d != 0) w->dTime = d;
            if (HasField(fields, 14)) w->strComment = FieldText(Field(fields, 14));
            AppendWaypointPoint(*route, std::move(w), waypoints);
        }
    }
    close();
    target.Commit(std::move(waypoints), std::move(routes));
    return true;
}

bool ExportRte(const std::string& strPath, const CWaypointStore& store, bool,
               const std::vector<Track>*, CError& error) {
    CExportFile file(error);
    if (!file.Create(strPath)) return false;
    CFileWriter& fw = file.Writer();
    fw.SetPrecision(5);
    WriteHeader(fw, "OziExplorer Route File Version 1.0", "Reserved 1", "Reserved 2");
    DWORD nRoute = 0, nRunning = 0;
    for (const auto& p : store.Routes()) {
        const Route& r = *p;
        if (r.IsDeleted()) continue;
        fw.WriteString("R,");
        fw.WriteUInt(nRoute);
        fw.WriteChar(',');
        WriteText(fw, OziText(r.strName));
        fw.WriteChar(',');
        WriteText(fw, OziText(r.strText2));
        fw.WriteChar(',');
        fw.WriteUInt(r.dwColor);
        fw.WriteString("\r\n");
        DWORD nPoint = 0;
        for (const RoutePoint& pt : r.points) {
            const Waypoint* pw = pt.pWaypoint;
            fw.WriteString("W,");
            fw.WriteUInt(nRoute);
            fw.WriteChar(',');
            fw.WriteUInt(++nPoint);
            fw.WriteChar(',');
            fw.WriteUInt(nRunning);
            fw.WriteChar(',');
            if (pw && !pw->strName.empty()) WriteText(fw, OziText(pw->strName));
            else fw.WriteUInt(nRunning);
            ++nRunning;
            fw.WriteChar(',');
            WriteDegrees(fw, pt.Y());
            fw.WriteChar(',');
            WriteDegrees(fw, pt.X());
            fw.WriteChar(',');
            if (pw && pw->dTime != 0) WriteDays(fw, pw->dTime);
            else fw.WriteChar(' ');
            fw.WriteString(",0,1,3,0,65535,");
            if (pw) WriteText(fw, OziText(pw->strComment, c_cchMaxComment));
            fw.WriteString(",0,0,\r\n");
        }
        ++nRoute;
    }
    return file.Commit();
}

} // namespace velka
