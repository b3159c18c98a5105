#include "routing/prompt_player.h"

#include <cstring>
#include <filesystem>

#include "platform/debug.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "routing/wave_file.h"
#include "shell/message_boxes.h"
#include "shell/notifications.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "shell/window_messages.h"

namespace velka {

CPromptPlayer::CPromptPlayer(IWaveOut* pWaveOut, std::string strWavDir)
    : m_pWaveOut(pWaveOut), m_strWavDir(std::move(strWavDir)) {
    m_fnPostHandle = [] { UiHost().PostMessage(WM_NEXT_SOUND, 0, 0); };
    m_fnPostDone = [] { UiHost().PostMessage(MM_WOM_DONE, 0, 0); };
    // Guidance goes on while the box is up: it never waits for the user,
    // and only the first error of a run shows one.
    m_fnReportError = [this](const std::string& strName, int nCode, const std::string& strText) {
        DebugOutput("Sound " + strName + ": " + strText + "\n");
        if (m_fErrorShown) return;
        m_fErrorShown = true;
        if (nCode == 0) {
            UiHost().ShowNotice(FromUtf8(strText), MainCaption(), MB_ICONERROR);
        } else {
            ShowErrorNotice(IDS_SOUND_ERROR, FromUtf8(strText).c_str());
        }
    };
}

CPromptPlayer::~CPromptPlayer() { Stop(); }

std::string CPromptPlayer::SoundPath(const std::string& strName) const {
    return m_strWavDir + "/" + strName + ".wav";
}

bool CPromptPlayer::IsSoundEnabled(const std::string& strName) {
    return ReadSettingBool(FromUtf8("PlaySound_" + strName).c_str(), true);
}

void CPromptPlayer::Raise(std::unique_ptr<CPrompt> pPrompt) {
    if (!pPrompt) return;
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (pPrompt->Supersedes(**it))
            it = m_queue.erase(it);
        else
            ++it;
    }
    m_queue.push_back(std::move(pPrompt));
    if (m_fnPostHandle) m_fnPostHandle();
}

void CPromptPlayer::RemoveGroup(int nGroup) {
    m_queue.remove_if([nGroup](const std::unique_ptr<CPrompt>& p) { return p->Group() == nGroup; });
    if (!m_current.empty() && m_current.front().nGroup == nGroup) m_current.clear();
}

void CPromptPlayer::Stop() {
    if (m_pWaveOut) m_pWaveOut->Reset();
    m_pCurrent.reset();
}

std::unique_ptr<CPrompt> CPromptPlayer::Dequeue() {
    if (m_queue.empty()) return nullptr;
    auto best = m_queue.begin();
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
        if ((*it)->Priority() < (*best)->Priority()) best = it;
    std::unique_ptr<CPrompt> p = std::move(*best);
    m_queue.erase(best);
    return p;
}

void CPromptPlayer::Handle() {
    if (m_fInHandle) return;
    m_fInHandle = true;
    DebugOutput("PlaySound_Handle start");
    // A sound that cannot be played is skipped and the next one tried, so a
    // chain never waits for a later prompt to move on.
    while (!m_pCurrent) {
        if (m_current.empty()) {
            std::unique_ptr<CPrompt> pPrompt = Dequeue();
            if (!pPrompt) break;
            std::vector<SoundName> list;
            pPrompt->BuildSoundList(list);
            m_current.assign(list.begin(), list.end());
            continue;
        }
        SoundName name = std::move(m_current.front());
        m_current.pop_front();
        StartSound(name.strName);
    }
    DebugOutput("PlaySound_Handle end\n");
    m_fInHandle = false;
}

bool CPromptPlayer::StartSound(const std::string& strName) {
    if (!IsSoundEnabled(strName)) return false;
    if (m_fnLogSound) m_fnLogSound(strName);
    const std::string strPath = SoundPath(strName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(strPath, ec)) return false;
    auto pSound = std::make_unique<CSoundFile>();
    pSound->strName = strName;
    if (!pSound->file.Open(strPath)) {
        if (m_fnReportError) m_fnReportError(strName, 0, strPath + ": " + std::strerror(pSound->file.LastError()));
        return false;
    }
    WaveInfo info;
    if (ParseWave(pSound->file.Bytes(), info) != WaveError::None) {
        if (m_fnReportError) m_fnReportError(strName, 0, strPath + ": not a wave file");
        return false;
    }
    if (!m_pWaveOut) return false;
    DebugOutput("SoundFile start\n");
    const int nCode = m_pWaveOut->Play(info.format, info.data, m_fnPostDone);
    if (nCode != 0) {
        if (m_fnReportError) m_fnReportError(strName, nCode, m_pWaveOut->ErrorText(nCode));
        return false;
    }
    m_pCurrent = std::move(pSound);
    DebugOutput("SoundFile end\n");
    return true;
}

void CPromptPlayer::Next() {
    DebugOutput("PlaySound_Next start\n");
    if (m_pCurrent) {
        DebugOutput("PlaySound_Next delete sound\n");
        if (m_pWaveOut) m_pWaveOut->Reset();
        m_pCurrent.reset();
        DebugOutput("PlaySound_Next deleted\n");
    }
    Handle();
}

std::uint32_t CPromptPlayer::SoundDurationMs(const std::string& strName) {
    auto it = m_durations.find(strName);
    if (it != m_durations.end()) return it->second;
    std::uint32_t ms = 0;
    CMappedFile file;
    WaveInfo info;
    if (file.Open(SoundPath(strName)) && ParseWave(file.Bytes(), info) == WaveError::None) ms = info.DurationMs();
    m_durations.emplace(strName, ms);
    return ms;
}

} // namespace velka
