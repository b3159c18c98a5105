#include "routing/prompts.h"

#include <cstdio>

#include "platform/debug.h"

namespace velka {

std::unique_ptr<CEventPrompt> CEventPrompt::Power(int nValue) {
    static const char* const s_names[] = {"ACPowerOff", "BatteryDischarged"};
    if (nValue < 0 || nValue > 1) return nullptr;
    return std::unique_ptr<CEventPrompt>(new CEventPrompt(pgPower, 3, s_names[nValue]));
}

std::unique_ptr<CEventPrompt> CEventPrompt::Gps(int nValue) {
    static const char* const s_names[] = {"GPSOff", "GPSMissing", "GPSPoor", "GPSConnected"};
    if (nValue < 0 || nValue > 3) return nullptr;
    return std::unique_ptr<CEventPrompt>(new CEventPrompt(pgGps, 2, s_names[nValue]));
}

std::unique_ptr<CEventPrompt> CEventPrompt::Route(int nValue) {
    static const char* const s_names[] = {"RouteOut", "RouteCalculated", "RouteIn", "RouteViaPoint", "RouteEnd"};
    if (nValue < 0 || nValue > 4) return nullptr;
    return std::unique_ptr<CEventPrompt>(new CEventPrompt(pgRoute, 1, s_names[nValue]));
}

void CEventPrompt::BuildSoundList(std::vector<SoundName>& list) const {
    list.push_back({Group(), m_szSound});
}

std::unique_ptr<CManoeuvrePrompt> CManoeuvrePrompt::Copy() const {
    auto p = std::make_unique<CManoeuvrePrompt>(m_nCode, m_fPreparatory, m_nExit);
    if (m_pThen) p->m_pThen = m_pThen->Copy();
    return p;
}

void CManoeuvrePrompt::AppendThen(std::unique_ptr<CManoeuvrePrompt> pNext) {
    CManoeuvrePrompt* p = this;
    while (p->m_pThen) p = p->m_pThen.get();
    p->m_pThen = std::move(pNext);
}

bool CManoeuvrePrompt::Supersedes(CPrompt& queued) {
    if (queued.Group() != pgManoeuvre) return false;
    auto& q = static_cast<CManoeuvrePrompt&>(queued);
    DebugOutput("Before IsVoid\n");
    char sz[64];
    std::snprintf(sz, sizeof sz, "%s, %d\n", PromptCodeName(q.m_nCode), q.m_nExit);
    DebugOutput(sz);
    // What this prompt said, with its own chain, goes after the queued one's.
    auto pOld = std::make_unique<CManoeuvrePrompt>(m_nCode, m_fPreparatory, m_nExit);
    pOld->m_pThen = std::move(m_pThen);
    m_nCode = q.m_nCode;
    m_nExit = q.m_nExit;
    m_pThen = q.m_pThen ? q.m_pThen->Copy() : nullptr;
    if (m_pThen)
        AppendThen(std::move(pOld));
    else
        m_pThen = std::move(pOld);
    DebugOutput("After IsVoid\n");
    return true;
}

void CManoeuvrePrompt::BuildSoundList(std::vector<SoundName>& list) const {
    static const char* const s_ordinals[] = {"1st", "2nd", "3rd", "4th", "5th"};
    if (m_fPreparatory) list.push_back({pgManoeuvre, "Pre"});
    switch (m_nCode) {
    case pcKeepRight: list.push_back({pgManoeuvre, "Right"}); break;
    case pcKeepLeft: list.push_back({pgManoeuvre, "Left"}); break;
    case pcRight: list.push_back({pgManoeuvre, "TurnRight"}); break;
    case pcLeft: list.push_back({pgManoeuvre, "TurnLeft"}); break;
    case pcSharpRight: list.push_back({pgManoeuvre, "RightHi"}); break;
    case pcSharpLeft: list.push_back({pgManoeuvre, "LeftHi"}); break;
    case pcRoundabout:
        list.push_back({pgManoeuvre, "RoundAbout"});
        if (m_nExit >= 1 && m_nExit <= 5) list.push_back({pgManoeuvre, s_ordinals[m_nExit - 1]});
        break;
    case pcFromRoundabout: list.push_back({pgManoeuvre, "TurnRight"}); break;
    case pcUTurnRight: list.push_back({pgManoeuvre, "UTurnRight"}); break;
    case pcUTurnLeft: list.push_back({pgManoeuvre, "UTurnLeft"}); break;
    default: break;
    }
    if (m_pThen) {
        list.push_back({pgManoeuvre, "then"});
        m_pThen->BuildSoundList(list);
    }
}

const char* PromptCodeName(int nCode) {
    static const char* const s_names[] = {"Kep right", "Keep left", "Right", "Left",
                                          "To round about", "From round about", "UTurn right", "UTurn left"};
    // Codes 0-3 name themselves; 4 and 5 (sharp turns) have no name of their own.
    switch (nCode) {
    case pcKeepRight: return s_names[0];
    case pcKeepLeft: return s_names[1];
    case pcRight: return s_names[2];
    case pcLeft: return s_names[3];
    case pcRoundabout: return s_names[4];
    case pcFromRoundabout: return s_names[5];
    case pcUTurnRight: return s_names[6];
    case pcUTurnLeft: return s_names[7];
    default: return "UNKNOWN";
    }
}

} // namespace velka
