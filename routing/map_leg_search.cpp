#include "routing/map_leg_search.h"

#include "mapdata/map_parser.h"
#include "routing/route_search.h"

namespace velka {

LegSearch MakeMapLegSearch(std::function<CMapParser*()> fnMap, std::function<GpsFix()> fnFix) {
    InstallRouteSearch();
    return [fnMap = std::move(fnMap), fnFix = std::move(fnFix)](const LegRequest& leg, std::vector<RoutePoint>& out) {
        CMapParser* pMap = fnMap ? fnMap() : nullptr;
        if (!pMap) return false;
        CRouteRequest req;
        req.ptStart = leg.ptFrom;
        req.ptEnd = leg.ptTo;
        req.options.nVehicle = leg.settings.nVehicle;
        req.options.fFastest = leg.settings.nOptimization == 0;
        req.options.fAvoidTolls = leg.settings.fAvoidTolls;
        req.options.fAvoidUTurns = leg.settings.fAvoidUTurns && !leg.fAllowUTurns;
        req.options.fAvoidHighways = leg.settings.fAvoidHighways;
        req.options.fAvoidUnpaved = leg.settings.fAvoidUnpaved;
        if (fnFix) {
            const GpsFix fix = fnFix();
            if (fix.Has(gfPosition | gfCourse | gfSpeed)) {
                req.fCourse = true;
                req.fCourseDeg = fix.fCourse;
                req.fSpeedKmh = fix.fSpeed;
            }
        }
        req.progress.nStart = leg.nProgressStart;
        req.progress.nEnd = leg.nProgressEnd;
        req.progress.pCancel = leg.pCancel;
        if (!pMap->FindRoute(req)) return false;
        for (const RouteSearchPoint& p : req.points) {
            RoutePoint rp;
            rp.lX = p.pt.lX * 2;
            rp.lY = p.pt.lY * 2;
            rp.strName = p.strName;
            rp.btKind = static_cast<BYTE>(p.btKind & ~c_btPointVia);
            rp.btSpeed = p.btSpeed;
            rp.btRoadClass = p.btClass;
            rp.lLink = p.cLink;
            rp.fLength = p.fLength;
            rp.lAngle = p.nAngle;
            rp.btExtra = p.btExtra;
            out.push_back(std::move(rp));
        }
        return true;
    };
}

} // namespace velka
