#include "mapview/map_page.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <climits>
#include <cstdarg>
#include <thread>

#include "gauges/gauge_dialogs.h"
#include "gauges/gauge_page.h"
#include "gauges/units.h"
#include "geometry/fast_math.h"
#include "mapdata/map_parser.h"
#include "mapdata/zidx_parser.h"
#include "mapview/screen_lines.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/page_host.h"
#include "shell/window_messages.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "shell/subsystem_hooks.h"

namespace velka {

CMapParser* g_pMapParser = nullptr;
CFrameStats g_FrameStats;
DWORD g_msMapOpen = 0;

namespace {

CMapPage* g_pMapPage = nullptr;

constexpr DWORD c_msSelection = 15000;
constexpr DWORD c_msPump = 20;
// Frames of fewer recorded commands are drawn on one thread.
constexpr std::size_t c_cParallelCommands = 256;


// Default map gauges for portrait and landscape windows.
constexpr const char16_t* c_aszPortraitGauges[8] = {u"speed", u"pointer", u"eta", u"tripodometer",
                                                    u"azimuth", u"", u"", u""};
constexpr const char16_t* c_aszLandscapeGauges[8] = {u"speed", u"pointer", u"eta", u"tripodometer",
                                                     u"sunrise", u"sunset", u"time", u""};

void DebugOut(const char* sz) { DebugOutput(sz); }

int Round(double d) { return fast_floor_d(d + 0.5); }

// Adds the microseconds of its lifetime to a layer's time when layer
// timing is on.
class CLayerTimer {
public:
    explicit CLayerTimer(unsigned& us) : m_pus(g_FrameStats.fLayerTimes ? &us : nullptr) {
        if (m_pus) m_t0 = std::chrono::steady_clock::now();
    }
    ~CLayerTimer() {
        if (m_pus)
            *m_pus += static_cast<unsigned>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - m_t0)
                                                .count());
    }
    CLayerTimer(const CLayerTimer&) = delete;
    CLayerTimer& operator=(const CLayerTimer&) = delete;

private:
    unsigned* m_pus;
    std::chrono::steady_clock::time_point m_t0;
};

} // namespace

CMapLayers& MapLayers() {
    static CMapLayers s_layers;
    return s_layers;
}

CMapPage* MapPage() { return g_pMapPage; }

// ---------------------------------------------------------------- paint context

CMapPaintContext::CMapPaintContext(CMapPage& page, ICanvas& dc) : m_page(page), m_dc(dc) {
    m_dwLastPump = GetTickCount();
}

const CMapPosition& CMapPaintContext::Position() const { return m_page.m_pos; }
unsigned CMapPaintContext::ScaleIndex() const { return Position().ScaleIndex(); }
int CMapPaintContext::ScaleCode() const { return Position().LevelForDrawing(); }
POINT CMapPaintContext::MapToScreen(const CMapPoint& pt) const { return Position().MapToScreen(pt); }
void CMapPaintContext::MapPointsToScreen(const CMapPoint* p, POINT* s, std::size_t c) const {
    Position().MapToScreen(p, s, c);
}
SIZE CMapPaintContext::ScreenExtent(const CMapRect& rc) const { return Position().ScreenExtent(rc); }
int CMapPaintContext::ScreenFactor() const { return ScreenFactorX(); }

void CMapPaintContext::Restart() {
    m_rcVisible = Position().VisibleRect();
    m_fRestart = false;
    m_fStop = false;
}

bool CMapPaintContext::PumpMessages() {
    if (!IsInterrupted()) {
        const DWORD now = GetTickCount();
        if (now - m_dwLastPump >= c_msPump) {
            m_dwLastPump = now;
            if (MapLayers().fnPumpMessages) MapLayers().fnPumpMessages();
        }
    }
    return IsInterrupted();
}

void CMapPaintContext::DrawPolygon(WORD wType, const POINT* pPoints, int cPoints) {
    cPoints = SimplifyToPixel(pPoints, cPoints, m_vecPixels);
    m_page.CountObject(rkPolygon);
    if (cPoints < 3) return;
    // Areas are filled without antialiasing: neighbouring areas then meet
    // without a seam, and large fills cost much less.
    if (m_pRecord) {
        m_pRecord->AddFill(MapStyles().PolygonBrush(wType), m_vecPixels.data(), cPoints);
        return;
    }
    CPenDesc nullPen{PS_NULL, 0, 0};
    m_dc.SelectPen(nullPen);
    m_dc.SelectBrush(MapStyles().PolygonBrush(wType));
    m_dc.SetAntialias(false);
    m_dc.Polygon(m_vecPixels.data(), cPoints);
    m_dc.SetAntialias(m_page.m_fAntialias);
}

bool CMapPaintContext::DrawPolyline(WORD wType, const POINT* pPoints, int cPoints) {
    const CMapStyles& s = MapStyles();
    const CPenDesc* p1 = s.PolylinePen1(wType);
    if (!p1) return false;
    const CPenDesc* p2 = s.PolylinePen2(wType);
    m_page.CountObject(rkPolyline);
    cPoints = SimplifyToPixel(pPoints, cPoints, m_vecPixels);
    // Only the runs that can reach the bitmap (grown by the widest pen, so
    // that no cap or join at a cut shows) go to the painter.
    const int nMargin = std::max(p1->nWidth, p2 ? p2->nWidth : 0) + 2;
    const RECT rcClip{-nMargin, -nMargin, m_dc.Width() + nMargin, m_dc.Height() + nMargin};
    VisibleRuns(m_vecPixels.data(), cPoints, rcClip, m_vecRuns);
    if (m_vecRuns.empty()) return true;
    for (const CPenDesc* pen : {p1, p2}) {
        if (!pen) continue;
        // Hairlines are drawn without antialiasing: a pixel-wide line gains
        // nothing from it and costs several times more.
        const bool fHairline = pen->nWidth <= 1;
        if (m_pRecord) {
            for (const auto& [nFirst, cRun] : m_vecRuns)
                m_pRecord->AddLine(*pen, !fHairline, m_vecPixels.data() + nFirst, cRun);
            continue;
        }
        m_dc.SelectPen(*pen);
        if (fHairline) m_dc.SetAntialias(false);
        for (const auto& [nFirst, cRun] : m_vecRuns) m_dc.Polyline(m_vecPixels.data() + nFirst, cRun);
        if (fHairline) m_dc.SetAntialias(m_page.m_fAntialias);
    }
    return true;
}

void CMapPaintContext::DrawDirectionArrows(const POINT* pPoints, int cPoints) {
    // A small arrowhead in the middle of every segment long enough for it.
    const int f = ScreenFactorX();
    CPenDesc pen{PS_SOLID, 1, RGB(80, 80, 80)};
    CBrushDesc brush;
    brush.crColor = RGB(80, 80, 80);
    m_dc.SelectPen(pen);
    m_dc.SelectBrush(brush);
    for (int i = 0; i + 1 < cPoints; ++i) {
        const int dx = pPoints[i + 1].x - pPoints[i].x, dy = pPoints[i + 1].y - pPoints[i].y;
        const double len = std::sqrt(double(dx) * dx + double(dy) * dy);
        if (len < 40.0 * f) continue;
        const double ux = dx / len, uy = dy / len;
        const double mx = pPoints[i].x + dx / 2.0, my = pPoints[i].y + dy / 2.0;
        const double a = 4.0 * f, b = 3.0 * f;
        const POINT tri[3] = {{Round(mx + ux * a), Round(my + uy * a)},
                              {Round(mx - ux * a - uy * b), Round(my - uy * a + ux * b)},
                              {Round(mx - ux * a + uy * b), Round(my - uy * a - ux * b)}};
        if (m_pRecord)
            m_pRecord->AddShape(pen, brush, tri, 3);
        else
            m_dc.Polygon(tri, 3);
    }
}

UINT CMapPaintContext::PointIcon(WORD wType) { return MapStyles().PointIcon(wType); }
const CLabelStyle* CMapPaintContext::PointLabelStyle(WORD wType) { return MapStyles().PointLabelStyle(wType); }
const CLabelStyle* CMapPaintContext::LineLabelStyle(WORD wType) { return MapStyles().PolylineLabelStyle(wType); }
const CLabelStyle* CMapPaintContext::AreaLabelStyle(WORD wType) { return MapStyles().PolygonLabelStyle(wType); }
void CMapPaintContext::DrawMessage(const std::u16string& strText) {
    // What was recorded before the message is drawn first, so the message
    // stays on top of it.
    if (m_pRecord && !m_pRecord->Empty()) {
        m_page.DrawRecorded(*this, m_dc);
        m_pRecord->Clear();
    }
    m_page.DrawMessageText(strText);
}

// ---------------------------------------------------------------- the page

CMapPage::CMapPage() { g_pMapPage = this; }

CMapPage::~CMapPage() {
    if (g_pMapPage == this) g_pMapPage = nullptr;
    if (g_pMapParser == m_pMap.get()) g_pMapParser = nullptr;
}

UINT CMapPage::GetTitle() const { return IDS_PAGE_MAP; }

void CMapPage::Init() {
    MapStyles().CreateBuiltIn();
    MapStyles().LoadSkin(false);
    m_fAntialias = ReadSettingBool(u"MapAntialias", true);
    m_pos.InitFromSettings();
    ReadGaugeSlots();
    if (IPageHost* pHost = PageHost()) m_sizeClient = pHost->ClientSize();
    UpdateScreen();
}

void CMapPage::Done() {
    StopRendering();
    CloseMap();
    m_pRender.reset();
    m_pFinished.reset();
    m_fHaveFrame = false;
}

void CMapPage::ReadGaugeSlots() {
    const bool fPortrait = m_sizeClient.cx < m_sizeClient.cy;
    for (int i = 0; i < 8; ++i) {
        const std::u16string strName = FormatW(u"MapGauge_%d", i);
        m_astrGaugeKeys[static_cast<std::size_t>(i)] = ReadSettingString(
            strName.c_str(), 32, fPortrait ? c_aszPortraitGauges[i] : c_aszLandscapeGauges[i]);
    }
}

void CMapPage::RestoreDefaultGauges() {
    const bool fPortrait = m_sizeClient.cx < m_sizeClient.cy;
    for (int i = 0; i < 8; ++i) {
        const char16_t* sz = fPortrait ? c_aszPortraitGauges[i] : c_aszLandscapeGauges[i];
        m_astrGaugeKeys[static_cast<std::size_t>(i)] = sz;
        WriteSettingString(FormatW(u"MapGauge_%d", i).c_str(), sz);
    }
}

RECT CMapPage::MapArea() const {
    RECT rc{0, 0, m_sizeClient.cx, m_sizeClient.cy};
    if (ReadSettingBool(u"ShowMapGauges", true)) {
        if (m_sizeClient.cx >= m_sizeClient.cy)
            rc.right = std::max<LONG>(0, rc.right - ScaleX(80));
        else
            rc.bottom = std::max<LONG>(0, rc.bottom - ScaleY(33));
    }
    return rc;
}

std::vector<RECT> CMapPage::GaugeCells() const {
    std::vector<RECT> cells;
    if (!ReadSettingBool(u"ShowMapGauges", true)) return cells;
    const int cx = m_sizeClient.cx, cy = m_sizeClient.cy;
    if (cx >= cy) {
        const int n = std::min(8, cy / ScaleY(33));
        for (int j = 0; j < n; ++j)
            cells.push_back({cx - ScaleX(80), cy * j / n, cx, cy * (j + 1) / n});
    } else {
        const int n = std::min(8, cx / ScaleX(80));
        for (int i = 0; i < n; ++i)
            cells.push_back({(cx - 1) * i / n, cy - ScaleY(33), (cx - 1) * (i + 1) / n, cy});
    }
    return cells;
}

void CMapPage::UpdateScreen() {
    m_pos.SetScreen(m_sizeClient.cx, m_sizeClient.cy, MapArea(), ReadSettingBool(u"RotateMap", false));
}

void CMapPage::RedrawNow() {
    if (IPageHost* pHost = PageHost()) pHost->RedrawNow();
}

void CMapPage::CountObject(int nKind) {
    if (nKind == rkPolygon) ++g_FrameStats.cPolygons;
    else if (nKind == rkPolyline) ++g_FrameStats.cPolylines;
    else ++g_FrameStats.cPoints;
}

bool CMapPage::LoadMap(const std::u16string& strPath, bool fAtlas) {
    if (IsRendering()) {
        m_fPendingMap = true;
        m_strPendingMap = strPath;
        m_fPendingAtlas = fAtlas;
        StopRendering();
        return false;
    }
    m_selection.Clear();
    CloseMap();
    VELKA_ASSERT(g_pMapParser == NULL);
    const DWORD dwStart = GetTickCount();
    // A map other than the last one opens centred on its data; the last
    // one (at start-up) keeps the view it was left with.
    m_fNewMap = ReadSettingString(u"MapFileName", 260, u"") != strPath;
    // Atlases open through the same probing: their index is a registered
    // format, and a folder stands for its index.
    CError error;
    std::unique_ptr<CMapParser> p = OpenMap(strPath, c_dwOpenAll, &error);
    if (!p) {
        ShowErrorBox(error);
        WriteSettingString(u"MapFileName", u"");
        if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
        return false;
    }
    m_pMap = std::move(p);
    g_pMapParser = m_pMap.get();
    g_msMapOpen = GetTickCount() - dwStart;
    WriteSettingString(u"MapFileName", strPath.c_str());
    WriteSettingBool(u"MapIsAtlas", fAtlas || AsAtlas(m_pMap.get()) != nullptr);
    if (IPageHost* pHost = PageHost()) {
        pHost->UpdateMenu();
        for (UINT i = 0; i < 4; ++i) pHost->Page(i).OnMapChanged();
    } else {
        OnMapChanged();
    }
    return true;
}

void CMapPage::OpenPendingMap() {
    if (!m_fPendingMap || IsRendering()) return;
    m_fPendingMap = false;
    const std::u16string strPath = std::move(m_strPendingMap);
    LoadMap(strPath, m_fPendingAtlas);
    RefreshMap(true);
}

void CMapPage::CloseMap() {
    if (!m_pMap) return;
    if (IsRendering()) StopRendering();
    g_pMapParser = nullptr;
    m_pMap.reset();
    if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
}

void CMapPage::OnMapChanged() {
    if (!g_pMapParser) return;
    const CMapRect& rc = g_pMapParser->Bounds();
    if (!rc.IsInverted() && (m_fNewMap || !rc.Contains(m_pos.Center()))) m_pos.SetCenter(rc.CenterX(), rc.CenterY());
    m_fNewMap = false;
}

void CMapPage::OnSettingsChanged() {
    m_fAntialias = ReadSettingBool(u"MapAntialias", true);
    UpdateScreen();
    RefreshMap(true);
}

void CMapPage::OnUnitsChanged() {
    m_pos.SetScale(m_pos.ScaleIndex());
    RefreshMap(true);
}

void CMapPage::OnSize(int cx, int cy) {
    m_sizeClient = {cx, cy};
    UpdateScreen();
    if (m_sizeBitmaps.cx != cx || m_sizeBitmaps.cy != cy) RefreshMap(true);
}

void CMapPage::StopRendering() {
    if (m_pContext) m_pContext->m_fStop = true;
}

std::unique_ptr<ICanvas> CMapPage::MakeBitmap(int cx, int cy) const {
    if (m_fnCreateBitmap) return m_fnCreateBitmap(cx, cy);
    if (IWindowPort* pPort = PageHostPort()) return pPort->CreateBitmap(cx, cy);
    return nullptr;
}

bool CMapPage::CreateBitmaps() {
    m_pRender.reset();
    m_pFinished.reset();
    m_fHaveFrame = false;
    const int cx = std::max<int>(1, m_sizeClient.cx), cy = std::max<int>(1, m_sizeClient.cy);
    m_pRender = MakeBitmap(cx, cy);
    m_pFinished = MakeBitmap(cx, cy);
    if (!m_pRender || !m_pFinished) {
        m_pRender.reset();
        m_pFinished.reset();
        return false;
    }
    m_sizeBitmaps = {m_sizeClient.cx, m_sizeClient.cy};
    m_pFinished->FillRect({0, 0, cx, cy}, MapStyles().BackgroundBrush());
    return true;
}

void CMapPage::RefreshMap(bool fForce) {
    if (!fForce && m_fHaveFrame && m_pos.CenterX() == m_lFrameX && m_pos.CenterY() == m_lFrameY &&
        m_pos.PixelCount() == m_nFramePixelCount && m_pos.CurrentArcs() == m_nFrameArcs &&
        m_pos.Angle() == m_nFrameAngle) {
        DebugOut("RefreshMap(false) is ignored.\n");
        return;
    }
    if (m_pContext) {
        DebugOut("RefreshMap() re-entrance.\n");
        m_pContext->m_fRestart = true;
        return;
    }
    if (!m_pRender || !m_pFinished || m_sizeBitmaps.cx != m_sizeClient.cx || m_sizeBitmaps.cy != m_sizeClient.cy) {
        if (!CreateBitmaps()) return;
    }
    UpdateScreen();
    VELKA_ASSERT(m_pRender);
    RenderLoop();
}

void CMapPage::RenderLoop() {
    ICanvas& dc = *m_pRender;
    CMapPaintContext pc(*this, dc);
    m_pContext = &pc;
    const RECT rcClient{0, 0, dc.Width(), dc.Height()};
    for (;;) {
        if (pc.m_fStop) {
            DebugOut("Stop drawing.\n");
            m_pContext = nullptr;
            OpenPendingMap();
            return;
        }
        ++m_cStartedFrames;
        UpdateScreen();
        dc.SetClipRect(RECT{});
        dc.FillRect(rcClient, MapStyles().BackgroundBrush());
        pc.Restart();
        const DWORD dwStart = GetTickCount();
        g_FrameStats.cPolygons = g_FrameStats.cPolylines = g_FrameStats.cPoints = 0;
        g_FrameStats.usDraw = g_FrameStats.usRaster = g_FrameStats.usLabels = 0;
        dc.SetBkMode(TRANSPARENT);
        dc.SetBkColor(RGB(255, 255, 255));
        dc.SetAntialias(m_fAntialias);
        m_labels.SetMeasureCanvas(&dc);
        m_labels.SetScreenFactors(ScreenFactorX(), ScreenFactorY());
        m_labels.SetShieldFont(MapStyles().ShieldFont());
        m_labels.SetIconBitmaps([this](int cx, int cy) { return MakeBitmap(cx, cy); },
                                MapStyles().BackgroundBrush().crColor, m_fAntialias);
        auto interrupted = [&]() {
            if (!pc.IsInterrupted()) return false;
            DebugOut("Re-start drawing...\n");
            return true;
        };
        if (g_pMapParser) {
            const CMapRect& rcMap = g_pMapParser->Bounds();
            const POINT org = m_pos.MapToScreen(rcMap.CenterX(), rcMap.CenterY());
            dc.SetBrushOrigin(org.x, org.y);
            m_ptBrushOrigin = org;
            m_labels.Clear(rcClient.right, rcClient.bottom);
            // The parser's areas and lines are recorded, then drawn.
            m_commands.Clear();
            pc.SetRecording(&m_commands);
            {
                CLayerTimer timer(g_FrameStats.usDraw);
                g_pMapParser->Draw(pc, m_labels);
            }
            pc.SetRecording(nullptr);
            if (interrupted()) continue;
            {
                CLayerTimer timer(g_FrameStats.usRaster);
                DrawRecorded(pc, dc);
            }
            if (interrupted()) continue;
        }
        const CMapLayers& layers = MapLayers();
        DWORD t0 = GetTickCount();
        g_FrameStats.msTrack = 0;
        if (ReadSettingBool(u"ShowTrack", true) && layers.fnDrawTrack) {
            layers.fnDrawTrack(pc);
            if (interrupted()) continue;
            g_FrameStats.msTrack = GetTickCount() - t0;
        }
        t0 = GetTickCount();
        g_FrameStats.msRoutes = 0;
        if (ReadSettingBool(u"ShowRoutes", true) && layers.fnDrawRoutes) {
            layers.fnDrawRoutes(pc);
            if (interrupted()) continue;
            g_FrameStats.msRoutes = GetTickCount() - t0;
        }
        int cIcons = 0;
        if (g_pMapParser) {
            CLayerTimer timer(g_FrameStats.usLabels);
            m_labels.DrawLabels(pc, m_pos.ScaleIndex(), &cIcons);
            if (m_fnLabelsPlaced && !pc.IsInterrupted()) m_fnLabelsPlaced(m_labels);
        }
        if (interrupted()) continue;
        g_FrameStats.cPoints += static_cast<unsigned>(cIcons);
        g_FrameStats.msMap = GetTickCount() - dwStart - g_FrameStats.msTrack - g_FrameStats.msRoutes;
        g_FrameStats.cFrames.fetch_add(1);
        t0 = GetTickCount();
        g_FrameStats.msWaypoints = 0;
        if (ReadSettingBool(u"ShowWaypoints", true) && layers.fnDrawWaypoints) {
            m_labels.Clear(rcClient.right, rcClient.bottom);
            layers.fnDrawWaypoints(pc, m_labels);
            if (interrupted()) continue;
            m_labels.DrawWaypointTexts(pc, MapArea().right);
            if (interrupted()) continue;
            g_FrameStats.msWaypoints = GetTickCount() - t0;
        }
        if (AskHook(SubsystemHooks().navigation.fnIsGuidanceActive) && ReadSettingBool(u"ShowBearing", true) &&
            layers.fnDrawBearing) {
            layers.fnDrawBearing(pc);
            if (interrupted()) continue;
        }
        if (interrupted()) continue;
        break;
    }
    m_labels.Clear(0, 0);
    m_labels.SetMeasureCanvas(nullptr);
    m_pFinished->BitBlt(0, 0, rcClient.right, rcClient.bottom, dc, 0, 0);
    m_fHaveFrame = true;
    ++m_cFinishedFrames;
    m_lFrameX = m_pos.CenterX();
    m_lFrameY = m_pos.CenterY();
    m_nFramePixelCount = m_pos.PixelCount();
    m_nFrameArcs = m_pos.CurrentArcs();
    m_nFrameAngle = m_pos.Angle();
    m_uFrameScale = m_pos.ScaleIndex();
    m_pContext = nullptr;
    RedrawNow();
    OpenPendingMap();
}

void CMapPage::DrawRecorded(CMapPaintContext& pc, ICanvas& dc) {
    auto fnPump = [&pc] { return pc.PumpMessages(); };
    // A busy frame is drawn as two bands at once: the lower one on a second
    // thread into its own painter over the same pixels, the upper one here
    // between message pumps. The band edge lies on a multiple of 8 rows so
    // that pattern brushes meet.
    const int yMid = (dc.Height() / 2) & ~7;
    std::unique_ptr<ICanvas> pBand;
    if (m_commands.Size() >= c_cParallelCommands && std::thread::hardware_concurrency() >= 2 && yMid > 0)
        pBand = dc.CreateBand(yMid, dc.Height());
    if (!pBand) {
        m_commands.Replay(dc, m_fAntialias, fnPump);
        return;
    }
    pBand->SetBkMode(TRANSPARENT);
    pBand->SetBkColor(RGB(255, 255, 255));
    pBand->SetBrushOrigin(m_ptBrushOrigin.x, m_ptBrushOrigin.y);
    std::atomic<bool> fStop{false};
    std::thread lower([&] { m_commands.Replay(*pBand, m_fAntialias, [&fStop] { return fStop.load(); }, yMid); });
    dc.SetClipRect({0, 0, dc.Width(), yMid});
    if (!m_commands.Replay(dc, m_fAntialias, fnPump, INT_MIN, yMid)) fStop = true;
    dc.SetClipRect(RECT{});
    lower.join();
}

void CMapPage::DrawMessage(UINT uId, ...) {
    va_list args;
    va_start(args, uId);
    std::u16string str = FormatWV(LoadStr(uId).c_str(), args);
    va_end(args);
    DrawMessageText(str);
}

void CMapPage::DrawMessageText(const std::u16string& strText) {
    std::u16string str = strText.substr(0, 519);
    if (m_pContext && m_pRender && (PageHost() || m_fnCreateBitmap)) {
        ICanvas& dc = *m_pRender;
        CFontDesc font;
        font.strFace = u"Tahoma";
        font.nHeight = ScaleY(16);
        dc.SelectFont(font);
        dc.SetTextColor(RGB(255, 0, 0));
        dc.SetBkColor(RGB(255, 255, 255));
        dc.SetBkMode(OPAQUE);
        RECT rc{ScaleX(4), ScaleY(40), dc.Width() - ScaleX(4), dc.Height() - ScaleY(40)};
        dc.DrawText(str, &rc, DT_WORDBREAK);
        dc.SetBkMode(TRANSPARENT);
        return;
    }
    ShowErrorText(u"%s", str.c_str());
}

void CMapPage::OnPaint(ICanvas& dc) {
    const int cx = dc.Width(), cy = dc.Height();
    if (m_sizeClient.cx != cx || m_sizeClient.cy != cy) {
        m_sizeClient = {cx, cy};
        UpdateScreen();
    }
    if (m_sizeBitmaps.cx != cx || m_sizeBitmaps.cy != cy) RefreshMap(true);
    const RECT rcArea = MapArea();
    const RECT rcClient{0, 0, cx, cy};
    dc.SetClipRect(RECT{});
    dc.FillRect(rcClient, MapStyles().BackgroundBrush());
    if (m_fHaveFrame && m_pFinished) {
        const POINT o = m_pos.MapToScreen(m_pos.CenterX(), m_pos.CenterY());
        const POINT f = m_pos.MapToScreen(m_lFrameX, m_lFrameY);
        const int ox = f.x - o.x, oy = f.y - o.y;
        const double g = m_nFramePixelCount && m_pos.CurrentArcs()
                             ? double(m_pos.PixelCount()) * m_nFrameArcs /
                                   (double(m_nFramePixelCount) * m_pos.CurrentArcs())
                             : 1.0;
        if (std::fabs(g - 1.0) >= 0.001) {
            const POINT a = m_pos.Anchor();
            const int l = Round(a.x - a.x * g) + ox, t = Round(a.y - a.y * g) + oy;
            const int r = Round(a.x + (m_sizeBitmaps.cx - a.x) * g) + ox;
            const int b = Round(a.y + (m_sizeBitmaps.cy - a.y) * g) + oy;
            dc.StretchBlt(l, t, r - l, b - t, *m_pFinished, 0, 0, m_sizeBitmaps.cx, m_sizeBitmaps.cy);
        } else {
            dc.BitBlt(ox, oy, m_sizeBitmaps.cx, m_sizeBitmaps.cy, *m_pFinished, 0, 0);
        }
    }
    dc.SetAntialias(m_fAntialias);
    const CMapLayers& layers = MapLayers();
    DrawEditedRoute(dc);
    if (layers.fnDrawMovingWaypoint) layers.fnDrawMovingWaypoint(dc, m_pos);
    if (ReadSettingBool(u"ShowHotSpot", false)) DrawHotSpot(dc, m_pos);
    if (AskHook(SubsystemHooks().positioning.fnIsRunning) && layers.fnCurrentPosition) {
        CCursorPosition p;
        if (layers.fnCurrentPosition(p)) DrawPositionCursor(dc, m_pos, p, MapStyles().Skin() && MapStyles().Skin()->fNight);
    }
    DrawCompass(dc, rcArea.right - ScaleX(20), ScaleY(20), ScaleX(15), ScaleY(5), -m_pos.Angle());
    DrawScaleBar(dc, ScaleX(10), rcArea.bottom - ScaleY(15), m_pos, g_UnitOptions.nDistanceUnit);
    m_selection.Draw(dc, m_pos, rcArea);
    const std::vector<RECT> cells = GaugeCells();
    const int n = static_cast<int>(cells.size());
    for (int i = 0; i < n; ++i) {
        const int nState = m_fGaugeEdit && i == m_nSelectedGauge ? 2 : (n > 3 && (i & 1) ? 1 : 0);
        const RECT& rc = cells[static_cast<std::size_t>(i)];
        const std::u16string& strKey = m_astrGaugeKeys[static_cast<std::size_t>(i)];
        if (Gauges()) {
            DrawGaugeCell(dc, true, rc.left, rc.top, rc.right - rc.left - 1, rc.bottom - rc.top - 1,
                          Gauges()->Find(strKey), nState);
            continue;
        }
        // An empty cell.
        CBrushDesc face;
        face.crColor = nState == 2 ? RGB(255, 255, 160) : nState == 1 ? RGB(232, 232, 232) : RGB(248, 248, 248);
        CPenDesc pen{PS_SOLID, 1, RGB(160, 160, 160)};
        dc.SelectPen(pen);
        dc.SelectBrush(face);
        dc.Rectangle(rc);
    }
    dc.SetAntialias(false);
    if (layers.fnDrawGpsStatus) layers.fnDrawGpsStatus(dc, 8, 8);
}

void CMapPage::ZoomIn() {
    if (!m_pos.CanZoomIn()) return;
    m_pos.SetScale(m_pos.ScaleIndex() - 1);
    RedrawNow();
    RefreshMap(false);
    if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
}

void CMapPage::ZoomOut() {
    if (!m_pos.CanZoomOut()) return;
    m_pos.SetScale(m_pos.ScaleIndex() + 1);
    RedrawNow();
    RefreshMap(false);
    if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
}

void CMapPage::OnWheel(int x, int y, int nSteps) { ZoomAt(x, y, nSteps); }

void CMapPage::ZoomAt(int x, int y, int nSteps) {
    const int nTarget = std::clamp(static_cast<int>(m_pos.ScaleIndex()) - nSteps, 0, static_cast<int>(g_cScales) - 1);
    if (nTarget == static_cast<int>(m_pos.ScaleIndex())) return;
    // The map point under the pointer stays under it.
    const CMapPoint pt = m_pos.ScreenToMap(x, y);
    m_pos.SetScale(static_cast<unsigned>(nTarget));
    const POINT ptNow = m_pos.MapToScreen(pt);
    m_pos.PanByPixels(x - ptNow.x, y - ptNow.y);
    RedrawNow();
    RefreshMap(false);
    if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
}

void CMapPage::OnDown(int x, int y) {
    m_ptPointer = {x, y};
    m_fDown = true;
    m_ptPress = m_ptLast = {x, y};
    m_dwPressTime = GetTickCount();
}

void CMapPage::OnMove(int x, int y) {
    m_ptPointer = {x, y};
    // A waypoint being moved follows the pointer.
    if (m_mover.IsMoving() && !m_fDown) RedrawNow();
    if (!m_fDown) return;
    const int dx = x - m_ptLast.x, dy = y - m_ptLast.y;
    m_ptLast = {x, y};
    if (dx || dy) {
        m_pos.PanByPixels(dx, dy);
        RedrawNow();
    }
    if (IWindowPort* pPort = PageHostPort()) {
        pPort->KillTimer(c_uTimerDragRedraw);
        pPort->SetTimer(c_uTimerDragRedraw, 20);
    }
}

bool CMapPage::IsTap(int x, int y) const {
    return std::abs(x - m_ptPress.x) <= ScaleX(5) && std::abs(y - m_ptPress.y) <= ScaleY(5) &&
           GetTickCount() - m_dwPressTime < 200;
}

void CMapPage::OnUp(int x, int y) {
    if (IWindowPort* pPort = PageHostPort()) pPort->KillTimer(c_uTimerDragRedraw);
    const bool fWasDown = m_fDown;
    m_fDown = false;
    if (fWasDown && IsTap(x, y)) OnTap(x, y);
    RefreshMap(false);
}

void CMapPage::OnTap(int x, int y) {
    IWindowPort* pPort = PageHostPort();
    switch (m_selection.HitTest(x, y)) {
    case CObjectSelection::btClose:
        m_selection.Clear();
        RedrawNow();
        return;
    case CObjectSelection::btPrevious:
    case CObjectSelection::btNext:
        if (m_selection.HitTest(x, y) == CObjectSelection::btNext)
            m_selection.ShowNext();
        else
            m_selection.ShowPrevious();
        if (pPort) {
            pPort->KillTimer(c_uTimerSelection);
            pPort->SetTimer(c_uTimerSelection, c_msSelection);
        }
        RedrawNow();
        return;
    case CObjectSelection::btOpen:
    case CObjectSelection::btBody: OpenSelectionItem(); return;
    default: break;
    }
    std::vector<CSelectionItem> items;
    if (MapLayers().fnFindItems) items = MapLayers().fnFindItems(m_pos.ScreenToMap(x, y), HitRadius());
    if (!items.empty()) {
        m_selection.Fill(std::move(items));
        if (pPort) pPort->SetTimer(c_uTimerSelection, c_msSelection);
    } else {
        m_selection.Clear();
    }
    RedrawNow();
}

void CMapPage::OnTimer(UINT uId) {
    if (uId == c_uTimerDragRedraw) {
        if (IWindowPort* pPort = PageHostPort()) pPort->KillTimer(c_uTimerDragRedraw);
        RefreshMap(false);
    }
}

void CMapPage::OnGpsPosition() {
    CCursorPosition p;
    const bool fHave = MapLayers().fnCurrentPosition && MapLayers().fnCurrentPosition(p) && p.fAvailable;
    bool fChanged = false;
    // Course-up turns the view to each fix's course at once (compared with
    // the view's own angle, so an angle kept from the last session is
    // replaced by the first course); north-up keeps it at 0.
    int nAngle = 0;
    if (ReadSettingBool(u"RotateMap", false))
        nAngle = fHave && p.fHeadingValid && p.fSpeed >= 2 ? static_cast<int>(std::lround(p.fHeading)) % 360
                                                           : m_pos.Angle();
    if (nAngle != m_pos.Angle()) {
        m_pos.SetAngle(nAngle);
        fChanged = true;
    }
    if (ReadSettingBool(u"KeepVisible", true) && fHave) {
        const std::int32_t x = DegreesToUnits(p.dLongitude), y = DegreesToUnits(p.dLatitude);
        const POINT s = m_pos.MapToScreen(x, y);
        if (!(s == m_pos.Anchor())) {
            m_pos.SetCenter(x, y);
            fChanged = true;
        }
    }
    // A frame being drawn restarts with the new view at once (RefreshMap
    // only marks it), so course-up follows every fix.
    if (fChanged)
        RefreshMap(true);
    else
        RedrawNow();
}

void CMapPage::OnCommand(UINT uId) {
    switch (uId) {
    case ID_MAP_REFRESH: RefreshMap(true); break;
    case ID_MAP_PAN_LEFT:
    case ID_MAP_PAN_RIGHT:
    case ID_MAP_PAN_UP:
    case ID_MAP_PAN_DOWN: {
        static constexpr int c_aPan[4][2] = {{20, 0}, {-20, 0}, {0, 20}, {0, -20}};
        const int k = static_cast<int>(uId - ID_MAP_PAN_LEFT);
        m_pos.PanByPixels(c_aPan[k][0], c_aPan[k][1]);
        RedrawNow();
        RefreshMap(false);
        break;
    }
    case ID_MAP_SHOW_GAUGES:
        WriteSettingBool(u"ShowMapGauges", !ReadSettingBool(u"ShowMapGauges", true));
        UpdateScreen();
        RedrawNow();
        break;
    case ID_MAP_DEFAULT_GAUGES:
        if (AskYesNo(IDS_ASK_DEFAULT_GAUGES) == IDYES) {
            RestoreDefaultGauges();
            RedrawNow();
        }
        break;
    case ID_CHOOSE_GAUGE:
        if (const auto pfnChoose = GaugeDialogs().pfnChooseGauge;
            pfnChoose && m_nClickedCell >= 0 && m_nClickedCell < static_cast<int>(m_astrGaugeKeys.size())) {
            std::u16string& strKey = m_astrGaugeKeys[static_cast<std::size_t>(m_nClickedCell)];
            if (CGaugeEntry* p = pfnChoose(Gauges() ? Gauges()->Find(strKey) : nullptr)) {
                strKey = p->strKey;
                WriteSettingString(FormatW(u"MapGauge_%d", m_nClickedCell).c_str(), strKey.c_str());
            }
            RedrawNow();
        }
        break;
    case ID_RESET_GAUGE:
        if (m_nClickedCell >= 0 && m_nClickedCell < static_cast<int>(m_astrGaugeKeys.size()) && Gauges()) {
            if (CGaugeEntry* p = Gauges()->Find(m_astrGaugeKeys[static_cast<std::size_t>(m_nClickedCell)]))
                p->m_pGauge->Reset();
            RedrawNow();
        }
        break;
    case ID_RESET_ALL_GAUGES:
        if (AskResetAllGauges()) RedrawNow();
        break;
    default: OnWaypointCommand(uId); break;
    }
}

std::unique_ptr<CPage> CreateMapPage() { return std::make_unique<CMapPage>(); }

bool OpenMapOnPage(const std::u16string& strPath, bool fAtlas) {
    return g_pMapPage ? g_pMapPage->LoadMap(strPath, fAtlas) : false;
}

bool IsMapOpen() { return g_pMapParser != nullptr; }

bool IsMapFrameRendering() { return g_pMapPage && g_pMapPage->IsRendering(); }

void StopMapFrame() {
    if (g_pMapPage) g_pMapPage->StopRendering();
}

namespace {

// The fix the automatic night mode looks at; none without the hook.
void ApplyNightModeAtLatestFix() {
    GpsFix fix;
    const auto& fn = MapLayers().fnLatestFix;
    MapStyles().ApplyNightMode(fn && fn(fix) ? &fix : nullptr);
}

} // namespace

void ApplyNightModeSetting() {
    MapStyles().ResetNightMode();
    ApplyNightModeAtLatestFix();
}

void CheckAutoNightMode() {
    const CSkin* pBefore = MapStyles().Skin();
    const bool fNightBefore = pBefore && pBefore->fNight;
    ApplyNightModeAtLatestFix();
    const CSkin* pAfter = MapStyles().Skin();
    if ((pAfter && pAfter->fNight) != fNightBefore && g_pMapPage) g_pMapPage->RefreshMap(true);
}

bool ClearMapSelection() {
    if (!g_pMapPage || g_pMapPage->Selection().Empty()) return false;
    g_pMapPage->Selection().Clear();
    return true;
}

} // namespace velka
