// The map parser interface every map format implements, the registry of
// map formats, opening a map file by probing its format, and the proxy
// that keeps a map's extent while the map itself is closed.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "geometry/map_types.h"
#include "mapdata/map_queries.h"
#include "platform/mapped_file.h"
#include "platform/win_types.h"
#include "shell/error.h"

namespace velka {

class CPaintContext;
class CLabelStore;
// Supplied by the subsystems that own them (routing, styles, search).
struct CRouteRequest;
class CTypeCatalogue;
class CTypeFilter;
struct CSearchProgress;

constexpr std::size_t c_cMaxMapPath = 260;

// The mapped file a parser reads in place. Open maps the whole file
// read-only and returns its first byte, or null (errno in LastError()).
class CMapFile {
public:
    virtual ~CMapFile() = default;
    virtual const BYTE* Open(const std::u16string& strPath);
    std::size_t Size() const { return m_file.Size(); }
    int LastError() const { return m_file.LastError(); }

private:
    CMappedFile m_file;
};

// What a format's create function gets: the path, the file (ownership
// passes to the parser; may be null for maps held in memory) and its bytes.
struct CMapCreateInfo {
    std::u16string strFileName;
    std::unique_ptr<CMapFile> pFile;
    const BYTE* pData = nullptr;
    DWORD cbSize = 0;
};

// GetName's result.
struct CMapName {
    char16_t szName[c_cMaxMapPath + 1] = {};
    WORD wReserved = 0;
};

// Open flags: callers pass c_dwOpenAll.
constexpr DWORD c_dwOpenBounds = 1;       // bounds and scale range
constexpr DWORD c_dwOpenLabelTables = 2;  // label decoding tables
constexpr DWORD c_dwOpenObjectTables = 4; // object decoding tables
constexpr DWORD c_dwOpenAll = 255;

class CMapParser {
public:
    explicit CMapParser(CMapCreateInfo&& info);
    virtual ~CMapParser();
    CMapParser(const CMapParser&) = delete;
    CMapParser& operator=(const CMapParser&) = delete;

    // Slots 1-14, in order.
    virtual void GetName(CMapName& name) const;
    virtual bool Open(DWORD dwFlags) = 0;
    // True when drawing was interrupted.
    virtual bool Draw(CPaintContext& pc, CLabelStore& labels) = 0;
    // Display text (at most 63 characters, terminated) of a label handed
    // to the label store; returns its length.
    virtual int GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                         char16_t* pText, int* pnShield) = 0;
    virtual void GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                         std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const;
    virtual bool FindRoute(CRouteRequest& request);
    virtual CTypeCatalogue* GetTypes();
    virtual std::unique_ptr<CCitiesQuery> CreateCitiesQuery();
    virtual bool HasObjectsIndex() const;
    virtual bool IsTypeIndexed(int nKind, short nCategory, WORD wType) const;
    virtual std::unique_ptr<CObjectsQuery> CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                              WORD wType);
    virtual bool HasCitiesIndex() const;
    virtual std::unique_ptr<CFindList> FindByAddress(int nCity, const std::u16string& strPostcode,
                                                     const std::u16string& strStreet,
                                                     const std::u16string& strHouse,
                                                     CSearchProgress* pProgress);
    virtual std::unique_ptr<CFindList> FindNearest(int nScaleCode, bool fUseViewLevel, LONG x,
                                                   LONG y, DWORD dwRadiusMetres,
                                                   const CTypeFilter* pFilter,
                                                   const std::u16string& strName,
                                                   CSearchProgress* pProgress);

    const CMapRect& Bounds() const { return m_rcBounds; }
    int FinestScale() const { return m_nFinestScale; }
    int CoarsestScale() const { return m_nCoarsestScale; }
    DWORD FileSize() const { return m_cFileSize; }
    const BYTE* Data() const { return m_pData; }
    const char16_t* FileName() const { return m_szFileName; }
    // Why a failed Open refused the map, when the format knows (else None).
    const CError& OpenError() const { return m_openError; }

protected:
    CError m_openError;
    std::unique_ptr<CMapFile> m_pFile;
    const BYTE* m_pData = nullptr;
    DWORD m_cFileSize = 0;
    char16_t m_szFileName[c_cMaxMapPath + 1] = {};
    CMapRect m_rcBounds = CMapRect::MakeEmpty();
    int m_nFinestScale = 0;
    int m_nCoarsestScale = 0;
};

// A map file format: description string, file pattern, default extension,
// the parser's constructor and the probe that recognises its bytes.
struct CMapFormat {
    CMapFormat* pNext = nullptr;
    UINT uDescriptionId = 0;
    const char16_t* szPattern = nullptr;
    const char16_t* szExtension = nullptr;
    std::unique_ptr<CMapParser> (*pfnCreate)(CMapCreateInfo&& info) = nullptr;
    bool (*pfnProbe)(const BYTE* pData, std::size_t cbSize) = nullptr;
};

// Adds a format to the front of the list (the newest is probed first).
void RegisterMapFormat(CMapFormat* pFormat);
// The registered formats, newest first; the built-in ones are registered
// on first use.
CMapFormat* MapFormats();

// The probes of the three formats.
bool ProbeZem(const BYTE* pData, std::size_t cbSize);
bool ProbeImg(const BYTE* pData, std::size_t cbSize);
bool ProbeZidx(const BYTE* pData, std::size_t cbSize);

// Opens a map file with the first format whose probe accepts it; null on
// failure, with the reason in *pError when given (the file cannot be opened,
// no format accepts it, or the format's own reason).
std::unique_ptr<CMapParser> OpenMapFile(const std::u16string& strPath, DWORD dwFlags,
                                        CError* pError = nullptr);
// Opens the bytes held in memory (no file object).
std::unique_ptr<CMapParser> OpenMapMemory(const std::u16string& strName, const BYTE* pData,
                                          std::size_t cbSize, DWORD dwFlags);
// OpenMapFile wrapped in a CMapProxy.
std::unique_ptr<CMapParser> OpenMap(const std::u16string& strPath, DWORD dwFlags,
                                    CError* pError = nullptr);

// Stands in front of another parser; keeps its bounds and scale range while
// the inner parser is closed and reopens it on the next draw.
class CMapProxy : public CMapParser {
public:
    CMapProxy(const std::u16string& strFileName, std::unique_ptr<CMapParser> pInner);

    void GetName(CMapName& name) const override;
    bool Open(DWORD dwFlags) override;
    bool Draw(CPaintContext& pc, CLabelStore& labels) override;
    int GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                 char16_t* pText, int* pnShield) override;
    void GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                 std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const override;
    bool FindRoute(CRouteRequest& request) override;
    CTypeCatalogue* GetTypes() override;
    std::unique_ptr<CCitiesQuery> CreateCitiesQuery() override;
    bool HasObjectsIndex() const override;
    bool IsTypeIndexed(int nKind, short nCategory, WORD wType) const override;
    std::unique_ptr<CObjectsQuery> CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                      WORD wType) override;
    bool HasCitiesIndex() const override;
    std::unique_ptr<CFindList> FindByAddress(int nCity, const std::u16string& strPostcode,
                                             const std::u16string& strStreet,
                                             const std::u16string& strHouse,
                                             CSearchProgress* pProgress) override;
    std::unique_ptr<CFindList> FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                           DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                           const std::u16string& strName,
                                           CSearchProgress* pProgress) override;

    CMapParser* Inner() const { return m_pMapParser.get(); }
    // Closes the inner parser (the next draw reopens it).
    void CloseInner() {
        m_pMapParser.reset();
        m_pData = nullptr;
    }

private:
    std::unique_ptr<CMapParser> m_pMapParser;
};

} // namespace velka
