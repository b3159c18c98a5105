#include "mapdata/map_parser.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "mapdata/paint_context.h"
#include "mapdata/zidx_parser.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {

void RegisterBuiltinMapFormats(); // map_formats.cpp

// ---------------------------------------------------------------------------
// The mapped file.

const BYTE* CMapFile::Open(const std::u16string& strPath) {
    if (!m_file.Open(ToUtf8(strPath))) return nullptr;
    if (!m_file.Data()) {
        // An empty file maps to nothing; report it as unreadable data.
        errno = EINVAL;
        return nullptr;
    }
    return m_file.Data();
}

// ---------------------------------------------------------------------------
// The base parser.

CMapParser::CMapParser(CMapCreateInfo&& info)
    : m_pFile(std::move(info.pFile)), m_pData(info.pData), m_cFileSize(info.cbSize) {
    CopyToBuffer(m_szFileName, c_cMaxMapPath + 1, info.strFileName);
}

CMapParser::~CMapParser() = default;

void CMapParser::GetName(CMapName& name) const {
    CopyToBuffer(name.szName, c_cMaxMapPath + 1, m_szFileName);
    name.wReserved = 0;
}

void CMapParser::GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                         std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const {
    if (pwYear) *pwYear = 0;
    if (pbtMonth) *pbtMonth = 0;
    if (pbtDay) *pbtDay = 0;
    if (pName && cchName) pName[0] = 0;
    if (pNotes && cchNotes) pNotes[0] = 0;
}

bool CMapParser::FindRoute(CRouteRequest&) { return false; }
CTypeCatalogue* CMapParser::GetTypes() { return nullptr; }
std::unique_ptr<CCitiesQuery> CMapParser::CreateCitiesQuery() { return nullptr; }
bool CMapParser::HasObjectsIndex() const { return false; }
bool CMapParser::IsTypeIndexed(int, short, WORD) const { return false; }
std::unique_ptr<CObjectsQuery> CMapParser::CreateObjectsQuery(int, int, short, WORD) {
    return nullptr;
}
bool CMapParser::HasCitiesIndex() const { return false; }
std::unique_ptr<CFindList> CMapParser::FindByAddress(int, const std::u16string&,
                                                     const std::u16string&, const std::u16string&,
                                                     CSearchProgress*) {
    return nullptr;
}
std::unique_ptr<CFindList> CMapParser::FindNearest(int, bool, LONG, LONG, DWORD,
                                                   const CTypeFilter*, const std::u16string&,
                                                   CSearchProgress*) {
    return nullptr;
}

// ---------------------------------------------------------------------------
// Formats and probes.

namespace {
CMapFormat* g_pFormats = nullptr;

DWORD ReadDword(const BYTE* p) {
    return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
}
} // namespace

void RegisterMapFormat(CMapFormat* pFormat) {
    pFormat->pNext = g_pFormats;
    g_pFormats = pFormat;
}

CMapFormat* MapFormats() {
    static const bool s_fRegistered = [] {
        RegisterBuiltinMapFormats();
        return true;
    }();
    (void)s_fRegistered;
    return g_pFormats;
}

bool ProbeZem(const BYTE* pData, std::size_t cbSize) {
    return cbSize > 563 && std::memcmp(pData, "GZEM", 4) == 0 && ReadDword(pData + 4) <= 4 &&
           ReadDword(pData + 8) == cbSize;
}

bool ProbeImg(const BYTE* pData, std::size_t cbSize) {
    if (cbSize <= 21) return false;
    const BYTE btXor = pData[16] ^ 0x44;
    static const char c_szSig[] = "DSKIMG";
    for (int i = 0; i < 6; ++i)
        if ((pData[16 + i] ^ btXor) != static_cast<BYTE>(c_szSig[i])) return false;
    return true;
}

bool ProbeZidx(const BYTE* pData, std::size_t cbSize) {
    return cbSize > 31 && std::memcmp(pData, "ZIDX", 4) == 0 &&
           (WORD{pData[4]} | WORD{pData[5]} << 8) < 2;
}

namespace {

std::unique_ptr<CMapParser> CreateAndOpen(CMapCreateInfo&& info, DWORD dwFlags, bool* pfProbed,
                                          CError* pError) {
    *pfProbed = false;
    *pError = {};
    for (CMapFormat* p = MapFormats(); p; p = p->pNext) {
        if (!p->pfnProbe(info.pData, info.cbSize)) continue;
        *pfProbed = true;
        std::unique_ptr<CMapParser> pParser = p->pfnCreate(std::move(info));
        if (pParser && pParser->Open(dwFlags)) return pParser;
        if (pParser) *pError = pParser->OpenError();
        return nullptr;
    }
    return nullptr;
}

} // namespace

std::u16string MapFilePath(const std::u16string& strPath) {
    std::error_code ec;
    if (!strPath.empty() && std::filesystem::is_directory(std::filesystem::path(ToUtf8(strPath)), ec))
        return AtlasIndexPath(strPath);
    return strPath;
}

std::unique_ptr<CMapParser> OpenMapFile(const std::u16string& strGivenPath, DWORD dwFlags,
                                        CError* pError) {
    const std::u16string strPath = MapFilePath(strGivenPath);
    CError error;
    auto fail = [&](CError e) -> std::unique_ptr<CMapParser> {
        if (pError) *pError = std::move(e);
        return nullptr;
    };
    auto pFile = std::make_unique<CMapFile>();
    const BYTE* pData = pFile->Open(strPath);
    // Files of 4 GiB and more cannot be addressed by the format's 32-bit
    // size field; they are no maps of ours.
    if (pData && pFile->Size() > 0xFFFFFFFFu) pData = nullptr, errno = EFBIG;
    if (!pData) {
        const int nError = pFile->LastError() ? pFile->LastError() : errno;
        return fail(FileError(ErrorCode::CannotOpenFile, strPath, nError));
    }
    CMapCreateInfo info;
    info.strFileName = strPath;
    info.cbSize = static_cast<DWORD>(pFile->Size());
    info.pData = pData;
    info.pFile = std::move(pFile);
    bool fProbed = false;
    std::unique_ptr<CMapParser> pParser = CreateAndOpen(std::move(info), dwFlags, &fProbed, &error);
    // A file the probe accepted but whose contents are unsound is reported
    // the same way as one no format recognises, unless its parser gave the
    // reason.
    if (!pParser) return fail(error ? std::move(error) : CError(ErrorCode::BadFileFormat, {strPath}));
    if (pError) *pError = {};
    return pParser;
}

std::unique_ptr<CMapParser> OpenMapMemory(const std::u16string& strName, const BYTE* pData,
                                          std::size_t cbSize, DWORD dwFlags) {
    if (!pData || cbSize == 0 || cbSize > 0xFFFFFFFFu) return nullptr;
    CMapCreateInfo info;
    info.strFileName = strName;
    info.pData = pData;
    info.cbSize = static_cast<DWORD>(cbSize);
    bool fProbed = false;
    CError error;
    return CreateAndOpen(std::move(info), dwFlags, &fProbed, &error);
}

std::unique_ptr<CMapParser> OpenMap(const std::u16string& strPath, DWORD dwFlags,
                                    CError* pError) {
    std::unique_ptr<CMapParser> pInner = OpenMapFile(strPath, dwFlags, pError);
    if (!pInner) return nullptr;
    return std::make_unique<CMapProxy>(MapFilePath(strPath), std::move(pInner));
}

// ---------------------------------------------------------------------------
// The proxy.

namespace {
CMapCreateInfo ProxyInfo(const std::u16string& strFileName) {
    CMapCreateInfo info;
    info.strFileName = strFileName;
    return info;
}
} // namespace

CMapProxy::CMapProxy(const std::u16string& strFileName, std::unique_ptr<CMapParser> pInner)
    : CMapParser(ProxyInfo(strFileName)), m_pMapParser(std::move(pInner)) {
    if (m_pMapParser) {
        m_rcBounds = m_pMapParser->Bounds();
        m_nFinestScale = m_pMapParser->FinestScale();
        m_nCoarsestScale = m_pMapParser->CoarsestScale();
        m_cFileSize = m_pMapParser->FileSize();
        m_pData = m_pMapParser->Data();
    }
}

void CMapProxy::GetName(CMapName& name) const {
    if (m_pMapParser)
        m_pMapParser->GetName(name);
    else
        CMapParser::GetName(name);
}

bool CMapProxy::Open(DWORD) {
    VELKA_ASSERT(!"CMapProxy::Open must not be called");
    return false;
}

bool CMapProxy::Draw(CPaintContext& pc, CLabelStore& labels) {
    if (!m_pMapParser) {
        errno = 0;
        m_pMapParser = OpenMapFile(m_szFileName, c_dwOpenAll);
        if (!m_pMapParser) {
            const int nError = errno;
            pc.DrawMessage(FormatMessageId(IDS_CANNOT_READ_FILE, m_szFileName, SystemErrorText(nError).c_str()));
            return false;
        }
    }
    m_pData = m_pMapParser->Data();
    return m_pMapParser->Draw(pc, labels);
}

int CMapProxy::GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                        char16_t* pText, int* pnShield) {
    VELKA_ASSERT(m_pMapParser);
    if (!m_pMapParser) {
        if (pText) pText[0] = 0;
        if (pnShield) *pnShield = 0;
        return 0;
    }
    return m_pMapParser->GetLabel(uScaleIndex, nKind, wType, dwLabelOffset, pText, pnShield);
}

void CMapProxy::GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                        std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const {
    if (m_pMapParser)
        m_pMapParser->GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
    else
        CMapParser::GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
}

bool CMapProxy::FindRoute(CRouteRequest& request) {
    return m_pMapParser && m_pMapParser->FindRoute(request);
}
CTypeCatalogue* CMapProxy::GetTypes() { return m_pMapParser ? m_pMapParser->GetTypes() : nullptr; }
std::unique_ptr<CCitiesQuery> CMapProxy::CreateCitiesQuery() {
    if (!m_pMapParser) return nullptr;
    return m_pMapParser->CreateCitiesQuery();
}
bool CMapProxy::HasObjectsIndex() const { return m_pMapParser && m_pMapParser->HasObjectsIndex(); }
bool CMapProxy::IsTypeIndexed(int nKind, short nCategory, WORD wType) const {
    return m_pMapParser && m_pMapParser->IsTypeIndexed(nKind, nCategory, wType);
}
std::unique_ptr<CObjectsQuery> CMapProxy::CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                             WORD wType) {
    if (!m_pMapParser) return nullptr;
    return m_pMapParser->CreateObjectsQuery(nCity, nKind, nCategory, wType);
}
bool CMapProxy::HasCitiesIndex() const { return m_pMapParser && m_pMapParser->HasCitiesIndex(); }
std::unique_ptr<CFindList> CMapProxy::FindByAddress(int nCity, const std::u16string& strPostcode,
                                                    const std::u16string& strStreet,
                                                    const std::u16string& strHouse,
                                                    CSearchProgress* pProgress) {
    if (!m_pMapParser) return nullptr;
    return m_pMapParser->FindByAddress(nCity, strPostcode, strStreet, strHouse, pProgress);
}
std::unique_ptr<CFindList> CMapProxy::FindNearest(int nScaleCode, bool fUseViewLevel, LONG x,
                                                  LONG y, DWORD dwRadiusMetres,
                                                  const CTypeFilter* pFilter,
                                                  const std::u16string& strName,
                                                  CSearchProgress* pProgress) {
    if (!m_pMapParser) return nullptr;
    return m_pMapParser->FindNearest(nScaleCode, fUseViewLevel, x, y, dwRadiusMetres, pFilter,
                                     strName, pProgress);
}

} // namespace velka
