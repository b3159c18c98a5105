#include "mapdata/zidx_build.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <new>
#include <queue>
#include <vector>

#include "mapdata/collation.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_format.h"
#include "mapdata/zidx_file.h"
#include "mapdata/zidx_parser.h"
#include "platform/atomic_file.h"
#include "platform/text.h"

namespace velka {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t c_cbMapHeaderRead = 428; // through the header flags

DWORD Get32(const BYTE* p) { return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24; }

bool EndsWithZem(const std::u16string& s) {
    if (s.size() < 4) return false;
    std::u16string ext = s.substr(s.size() - 4);
    for (char16_t& c : ext)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return ext == u".zem";
}

// Low plus high half of the last-write time as 100 ns ticks since 1601.
DWORD ChangeStamp(const fs::path& path) {
    std::error_code ec;
    const auto t = fs::last_write_time(path, ec);
    if (ec) return 0;
    const auto sys = std::chrono::file_clock::to_sys(t);
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(sys.time_since_epoch()).count() / 100 +
                       116444736000000000LL;
    const auto u = static_cast<std::uint64_t>(ticks);
    return static_cast<DWORD>(u) + static_cast<DWORD>(u >> 32);
}

// The first bytes of a map's header; false when the file is shorter (a
// short read must not leave another map's header in the buffer).
bool ReadMapHeader(const fs::path& path, BYTE* pHeader) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(pHeader), static_cast<std::streamsize>(c_cbMapHeaderRead));
    return in.gcount() == static_cast<std::streamsize>(c_cbMapHeaderRead);
}

// The city texts of one map, in its own order.
struct MapCities {
    DWORD nMap = 0;
    std::vector<std::u16string> texts;
    std::vector<DWORD> order; // readable city numbers in the atlas's collation order
};

struct Progress {
    const CAtlasIndexHooks& hooks;
    int nLast = -1;
    // False when cancelled.
    bool Report(std::uint64_t nDone, std::uint64_t nTotal) {
        const int n = nTotal ? static_cast<int>(nDone * 100 / nTotal) : 100;
        if (n == nLast) return true;
        nLast = n;
        return !hooks.fnProgress || hooks.fnProgress(n);
    }
};

void Say(const CAtlasIndexHooks& hooks, const CError& e) {
    if (hooks.fnMessage) hooks.fnMessage(e);
}

// The merge of the maps' city lists into one list ordered by text under
// the collator, equal texts in map order. False when cancelled.
bool MergeCities(std::vector<MapCities>& maps, const CCollator& coll, std::vector<CZidxCity>& out,
                 Progress& progress) {
    std::uint64_t cTotal = 0;
    for (MapCities& m : maps) {
        // m.order holds the cities whose text could be read.
        // A map sorted under another locale is put in this order first.
        auto less = [&](DWORD a, DWORD b) { return coll.Compare(m.texts[a], m.texts[b]) < 0; };
        if (!std::is_sorted(m.order.begin(), m.order.end(), less))
            std::stable_sort(m.order.begin(), m.order.end(), less);
        cTotal += m.order.size();
    }
    struct Cursor {
        std::size_t nList;
        std::size_t nPos;
    };
    auto text = [&](const Cursor& c) -> const std::u16string& { return maps[c.nList].texts[maps[c.nList].order[c.nPos]]; };
    auto after = [&](const Cursor& a, const Cursor& b) {
        const int n = coll.Compare(text(a), text(b));
        return n != 0 ? n > 0 : maps[a.nList].nMap > maps[b.nList].nMap;
    };
    std::priority_queue<Cursor, std::vector<Cursor>, decltype(after)> heap(after);
    for (std::size_t i = 0; i < maps.size(); ++i)
        if (!maps[i].order.empty()) heap.push({i, 0});
    out.reserve(static_cast<std::size_t>(cTotal));
    const std::u16string* pPrevious = nullptr;
    while (!heap.empty()) {
        Cursor c = heap.top();
        heap.pop();
        const std::u16string& t = text(c);
        out.push_back({pPrevious && *pPrevious == t, maps[c.nList].nMap, maps[c.nList].order[c.nPos]});
        pPrevious = &t;
        if (!progress.Report(out.size(), cTotal)) return false;
        if (++c.nPos < maps[c.nList].order.size()) heap.push(c);
    }
    return true;
}

} // namespace

int CreateZidx(const std::u16string& strFolder, const CAtlasIndexHooks& hooks) {
    if (hooks.fnPhase) hooks.fnPhase(IDS_ATLAS_INDEXING);
    const fs::path folder(ToUtf8(strFolder));
    const std::u16string strIndex = AtlasIndexPath(strFolder);
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ecType;
        if (!it->is_regular_file(ecType)) continue;
        const std::u16string name = FromUtf8(it->path().filename().string());
        if (EndsWithZem(name)) files.push_back(it->path());
    }
    if (ec) {
        Say(hooks, AtlasError(IDS_ATLAS_CANNOT_CREATE));
        return c_nAtlasFailed;
    }
    std::sort(files.begin(), files.end());

    CZidxIndex idx;
    CMapRect rc = CMapRect::MakeEmpty();
    std::vector<MapCities> cities;
    bool fCitiesFound = false, fLocalesAgree = true, fOutOfMemory = false, fNamesTooLong = false;
    DWORD dwLocale = 0;
    Progress progress{hooks};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::u16string name = FromUtf8(files[i].filename().string());
        BYTE header[c_cbMapHeaderRead];
        if (name.size() > zidx::c_cchName) {
            if (!fNamesTooLong) Say(hooks, AtlasError(IDS_ATLAS_NAME_TOO_LONG, {static_cast<int>(zidx::c_cchName)}));
            fNamesTooLong = true;
        } else if (ReadMapHeader(files[i], header) && std::equal(header, header + 4, "GZEM")) {
            CZidxEntry e;
            e.strName = name;
            e.dwStamp = ChangeStamp(files[i]);
            for (int k = 0; k < 4; ++k) e.alBounds[k] = static_cast<LONG>(Get32(header + zem::c_ofsBounds + 4 * k));
            e.wFinestCode = static_cast<WORD>(header[zem::c_ofsFinestCode] | header[zem::c_ofsFinestCode + 1] << 8);
            e.wCoarsestCode = static_cast<WORD>(header[zem::c_ofsCoarsestCode] | header[zem::c_ofsCoarsestCode + 1] << 8);
            rc.left = std::min(rc.left, e.alBounds[0]);
            rc.top = std::min(rc.top, e.alBounds[1]);
            rc.right = std::max(rc.right, e.alBounds[2]);
            rc.bottom = std::max(rc.bottom, e.alBounds[3]);
            const DWORD nMap = static_cast<DWORD>(idx.maps.size());
            idx.maps.push_back(std::move(e));
            if ((Get32(header + zem::c_ofsFlags) & zem::c_dwFlagMergeCities) && !fOutOfMemory) {
                std::unique_ptr<CMapParser> p = OpenMapFile(FromUtf8(files[i].string()), c_dwOpenAll);
                std::unique_ptr<CCitiesQuery> q = p ? p->CreateCitiesQuery() : nullptr;
                if (q && q->Count()) {
                    try {
                        MapCities m;
                        m.nMap = nMap;
                        m.texts.resize(q->Count());
                        for (DWORD c = 0; c < q->Count(); ++c) {
                            CCityItem item;
                            // A city whose name cannot be read is left out.
                            if (q->Item(c, item, 0)) {
                                m.texts[c] = item.szText;
                                m.order.push_back(c);
                            }
                        }
                        cities.push_back(std::move(m));
                        if (!fCitiesFound) {
                            fCitiesFound = true;
                            dwLocale = q->Locale();
                            idx.dwIndexFlags = (p->HasCitiesIndex() ? zidx::c_dwHasCitiesIndex : 0) |
                                               (p->HasObjectsIndex() ? zidx::c_dwHasObjectsIndex : 0);
                        } else if (q->Locale() != dwLocale) {
                            fLocalesAgree = false;
                        }
                    } catch (const std::bad_alloc&) {
                        fOutOfMemory = true;
                        Say(hooks, AtlasError(IDS_ATLAS_CITIES_MEMORY));
                    }
                }
            }
        }
        if (!progress.Report(i + 1, files.size())) return c_nAtlasCancelled;
    }
    if (idx.maps.empty()) return c_nAtlasNoMaps;
    idx.alBounds[0] = rc.left;
    idx.alBounds[1] = rc.top;
    idx.alBounds[2] = rc.right;
    idx.alBounds[3] = rc.bottom;

    if (fCitiesFound) {
        // One collation for the whole atlas, so its merge and its searches
        // agree: the maps' own when they share one, else the user's.
        idx.dwLocale = fLocalesAgree ? dwLocale : 0;
        idx.fCities = true;
        if (hooks.fnPhase) hooks.fnPhase(IDS_ATLAS_INDEXING_CITIES);
        Progress cityProgress{hooks};
        try {
            if (!MergeCities(cities, CCollator::ForLcid(idx.dwLocale), idx.cities, cityProgress))
                return c_nAtlasCancelled;
        } catch (const std::bad_alloc&) {
            Say(hooks, AtlasError(IDS_ATLAS_CITIES_MEMORY));
            idx.cities.clear();
            idx.fCities = false;
        }
    }

    const std::vector<BYTE> bytes = EncodeZidx(idx);
    CAtomicFile out;
    int nError = 0;
    if (!out.Open(ToUtf8(strIndex), &nError) || !out.Write(bytes.data(), bytes.size(), &nError) ||
        !out.Commit(&nError)) {
        out.Abandon();
        Say(hooks, AtlasError(IDS_ATLAS_CANNOT_CREATE));
        return c_nAtlasFailed;
    }
    return static_cast<int>(std::min<std::size_t>(idx.maps.size(), INT_MAX));
}

int ReindexAtlas(const std::u16string& strFolder, const CAtlasIndexHooks& hooks) {
    const std::u16string strIndex = AtlasIndexPath(strFolder);
    const fs::path index(ToUtf8(strIndex));
    std::error_code ec;
    const bool fExists = fs::exists(index, ec);
    if (fExists && hooks.fnCloseIfOpen) hooks.fnCloseIfOpen(strIndex);
    const int n = CreateZidx(strFolder, hooks);
    if (n == c_nAtlasNoMaps) {
        Say(hooks, AtlasError(IDS_ATLAS_NO_MAPS, {strFolder}));
        // An index of maps that are gone would open an empty atlas.
        if (fExists && !fs::remove(index, ec) && ec)
            Say(hooks, AtlasError(IDS_ATLAS_CANNOT_DELETE, {strIndex}));
    }
    return n;
}

} // namespace velka
