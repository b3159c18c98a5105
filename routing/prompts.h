// Spoken prompts: the queued prompt objects (power, GPS, route events and
// manoeuvres) and the sound names each one expands to.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace velka {

enum PromptGroup : int { pgManoeuvre = 0, pgGps = 1, pgRoute = 2, pgPower = 3 };

// One sound of a list: its group and name (played from name + ".wav").
struct SoundName {
    int nGroup = 0;
    std::string strName;
};

class CPrompt {
public:
    CPrompt(int nGroup, int nPriority) : m_nGroup(nGroup), m_nPriority(nPriority) {}
    virtual ~CPrompt() = default;
    // True when this prompt replaces the queued one (which is then dropped).
    virtual bool Supersedes(CPrompt& queued) = 0;
    virtual void BuildSoundList(std::vector<SoundName>& list) const = 0;
    int Group() const { return m_nGroup; }
    int Priority() const { return m_nPriority; } // smaller is more urgent

private:
    int m_nGroup;
    int m_nPriority;
};

// Power (group 3), GPS (group 1) and route (group 2) events: one sound each,
// a new one replaces any queued prompt of its group.
class CEventPrompt final : public CPrompt {
public:
    static std::unique_ptr<CEventPrompt> Power(int nValue);
    static std::unique_ptr<CEventPrompt> Gps(int nValue);
    static std::unique_ptr<CEventPrompt> Route(int nValue);
    bool Supersedes(CPrompt& queued) override { return queued.Group() == Group(); }
    void BuildSoundList(std::vector<SoundName>& list) const override;

private:
    CEventPrompt(int nGroup, int nPriority, const char* szSound) : CPrompt(nGroup, nPriority), m_szSound(szSound) {}
    const char* m_szSound;
};

// Values of the event prompts.
enum RoutePromptValue : int { rpOut = 0, rpCalculated = 1, rpIn = 2, rpViaPoint = 3, rpEnd = 4 };
enum GpsPromptValue : int { gpOff = 0, gpMissing = 1, gpPoor = 2, gpConnected = 3 };
enum PowerPromptValue : int { ppACOff = 0, ppBatteryDischarged = 1 };

// Manoeuvre prompt codes.
enum PromptCode : int {
    pcKeepRight = 0,
    pcKeepLeft = 1,
    pcRight = 2,
    pcLeft = 3,
    pcSharpRight = 4,
    pcSharpLeft = 5,
    pcRoundabout = 6,
    pcFromRoundabout = 7,
    pcUTurnRight = 8,
    pcUTurnLeft = 9,
};

// A manoeuvre, optionally followed by "then" and a chained manoeuvre.
class CManoeuvrePrompt final : public CPrompt {
public:
    CManoeuvrePrompt(int nCode, bool fPreparatory, int nExit)
        : CPrompt(pgManoeuvre, 0), m_nCode(nCode), m_fPreparatory(fPreparatory), m_nExit(nExit) {}
    // Merges with a queued manoeuvre: this prompt says the queued one first,
    // then the queued one's own chain, then what it said itself with its
    // own chain. Prompts of other groups are left alone.
    bool Supersedes(CPrompt& queued) override;
    void BuildSoundList(std::vector<SoundName>& list) const override;

    std::unique_ptr<CManoeuvrePrompt> Copy() const;
    // Appends a prompt at the end of the "then" chain.
    void AppendThen(std::unique_ptr<CManoeuvrePrompt> pNext);

    int m_nCode;
    bool m_fPreparatory;
    int m_nExit;
    std::unique_ptr<CManoeuvrePrompt> m_pThen;
};

// The name of a prompt code for the debug output.
const char* PromptCodeName(int nCode);

} // namespace velka
