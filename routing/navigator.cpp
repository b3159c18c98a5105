#include "routing/navigator.h"

#include "routing/route_geometry.h"
#include "shell/message_boxes.h"
#include "shell/settings.h"

namespace velka {
namespace {
CNavigator* g_pNavigator = nullptr;
}

CNavigator* TheNavigator() { return g_pNavigator; }
void SetTheNavigator(CNavigator* p) { g_pNavigator = p; }

void RestoreLoadedRoute(Route& route) {
    RecomputeAngles(route);
    for (RoutePoint& p : route.points)
        if ((p.btKind & rkKeep) && !(p.btKind & rkRoundaboutEntry)) p.btExtra = p.lAngle > 0 ? 1 : 0;
}

CNavigator::CNavigator(CWaypointStore& store, CPromptPlayer* pPlayer, LegSearch search, RoutingProgressUi ui)
    : m_store(store), m_pPlayer(pPlayer), m_planner(std::move(search), std::move(ui)), m_guidance(CGuidance::Host{}) {
    CGuidance::Host host;
    host.fnSpeak = [this](std::unique_ptr<CManoeuvrePrompt> p, std::size_t, double) {
        if (m_pPlayer) m_pPlayer->Raise(std::move(p));
    };
    host.fnRouteEvent = [this](int n) { RaiseRouteEvent(n); };
    host.fnSilenceManoeuvres = [this] {
        if (!m_pPlayer) return;
        m_pPlayer->RemoveGroup(pgManoeuvre);
        m_pPlayer->Stop();
        m_pPlayer->Handle();
    };
    host.fnReroute = [this](std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext) {
        Route* pRoute = m_store.ActiveRoute();
        if (!pRoute) return false;
        m_planner.m_settings = RoutingSettings::Read();
        return m_planner.Reroute(*pRoute, lX, lY, iVia, iNext);
    };
    host.fnStopNavigation = [this] { Stop(); };
    host.fnSoundMs = [this](const std::string& s) { return m_pPlayer ? m_pPlayer->SoundDurationMs(s) : 0u; };
    host.fnNavigationOn = [] { return ReadSettingInt(u"Navigation", 0) == 1; };
    m_guidance = CGuidance(std::move(host));
    m_fnSave = [this] { ShowErrorBox(m_store.Save()); };
}

void CNavigator::RaiseRouteEvent(int nValue) {
    if (m_pPlayer) m_pPlayer->RaiseRoute(nValue);
    if (m_fnRouteEvent) m_fnRouteEvent(nValue);
}

void CNavigator::Start(Route* pRoute, const GpsFix& fix, CMapPoint ptCentre) {
    Stop();
    if (!pRoute) return;
    m_store.SetActiveRoute(pRoute);
    if (m_fnSave) m_fnSave();
    m_guidance.m_settings = GuidanceSettings::Read();
    m_planner.m_settings = RoutingSettings::Read();
    if (m_planner.m_settings.nStyle == 0 && !pRoute->points.empty()) {
        std::int32_t lX = ptCentre.lX, lY = ptCentre.lY;
        if (fix.Has(gfPosition)) {
            lX = DegreesToSemicircles(fix.fLongitude);
            lY = DegreesToSemicircles(fix.fLatitude);
        }
        m_planner.LeadIn(*pRoute, lX, lY);
    }
    m_guidance.Reset(pRoute);
    WriteSettingInt(u"Navigation", 1);
    if (m_fnStartedStopped) m_fnStartedStopped(true);
    Step(fix);
}

void CNavigator::GoTo(std::int32_t lX, std::int32_t lY, const std::u16string& strName, const GpsFix& fix,
                      CMapPoint ptCentre) {
    Stop();
    const std::u16string strGoTo = u"GoTo";
    Route* pRoute = m_store.CreateRoute(&strGoTo, fix.Has(gfTime) ? fix.dTime : 0);
    pRoute->dwFlags |= rfTemporary;
    RoutePoint p;
    p.lX = lX;
    p.lY = lY;
    p.strName = strName;
    m_store.AppendPoint(*pRoute, std::move(p));
    Start(pRoute, fix, ptCentre);
}

void CNavigator::Stop() {
    Route* pRoute = m_store.ActiveRoute();
    const bool fWas = m_guidance.ActiveRoute() != nullptr || pRoute != nullptr;
    m_store.SetActiveRoute(nullptr);
    // No longer active: the store does not refuse it.
    if (pRoute && (pRoute->dwFlags & rfTemporary)) (void)m_store.DeleteRoute(pRoute);
    m_guidance.Reset(nullptr);
    m_values = NavigationValues{};
    if (m_pPlayer) {
        m_pPlayer->RemoveGroup(pgManoeuvre);
        if (m_pPlayer->IsPlaying()) {
            m_pPlayer->Stop();
            m_pPlayer->Handle();
        }
    }
    if (!fWas) return;
    if (m_fnSave) m_fnSave();
    WriteSettingInt(u"Navigation", 0);
    if (m_fnStartedStopped) m_fnStartedStopped(false);
}

void CNavigator::Resume() {
    Route* pRoute = m_store.ActiveRoute();
    if (!pRoute) return;
    m_guidance.m_settings = GuidanceSettings::Read();
    m_guidance.Reset(pRoute);
    if (m_fnStartedStopped) m_fnStartedStopped(true);
}

void CNavigator::Step(const GpsFix& fix) {
    m_guidance.m_settings = GuidanceSettings::Read();
    m_guidance.Step(fix);
    m_values = m_guidance.Values(fix);
    if (m_fnStepped) m_fnStepped();
}

bool CNavigator::PlanRoute(Route& route) {
    m_planner.m_settings = RoutingSettings::Read();
    return m_planner.Plan(route);
}

} // namespace velka
