// The prompt player: the queue of prompts, the sound list being spoken and
// the one sound playing. Everything runs on the user-interface thread;
// playback completion comes back as a message (MM_WOM_DONE) that calls Next.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "platform/mapped_file.h"
#include "platform/wave_out.h"
#include "routing/prompts.h"

namespace velka {

class CPromptPlayer {
public:
    // The player plays through pWaveOut (not owned; may be null: nothing
    // plays) from the folder strWavDir.
    CPromptPlayer(IWaveOut* pWaveOut, std::string strWavDir);
    ~CPromptPlayer();

    // Enqueues a prompt (dropping the ones it supersedes) and asks for the
    // next sound (WM_USER+6). A null prompt is ignored.
    void Raise(std::unique_ptr<CPrompt> pPrompt);
    void RaisePower(int nValue) { Raise(CEventPrompt::Power(nValue)); }
    void RaiseGps(int nValue) { Raise(CEventPrompt::Gps(nValue)); }
    void RaiseRoute(int nValue) { Raise(CEventPrompt::Route(nValue)); }

    // Removes the queued prompts of a group and drops the current sound
    // list when it belongs to that group.
    void RemoveGroup(int nGroup);
    // Stops the sound playing and deletes it.
    void Stop();

    // WM_USER+6: starts the next sound unless one plays. Sounds that are
    // switched off, missing or unreadable are skipped.
    void Handle();
    // MM_WOM_DONE: the sound finished; delete it and start the next.
    void Next();

    bool IsPlaying() const { return m_pCurrent != nullptr; }
    std::size_t QueuedCount() const { return m_queue.size(); }
    const std::list<std::unique_ptr<CPrompt>>& Queue() const { return m_queue; }

    // Playing time of a sound in ms (0 when the file is missing or damaged),
    // read from the file's header once.
    std::uint32_t SoundDurationMs(const std::string& strName);
    std::string SoundPath(const std::string& strName) const;
    static bool IsSoundEnabled(const std::string& strName);

    // Hooks: how WM_USER+6 reaches the window, how completion is posted from
    // the player thread, how a wave error is reported, where each sound
    // that starts is logged. Defaults post to the UI host and show the
    // sound error box without waiting for it (once per run; later errors
    // are logged only).
    std::function<void()> m_fnPostHandle;
    std::function<void()> m_fnPostDone;
    std::function<void(const std::string& strName, int nCode, const std::string& strText)> m_fnReportError;
    std::function<void(const std::string& strName)> m_fnLogSound;

private:
    std::unique_ptr<CPrompt> Dequeue();
    // Tries to start one sound; false when it was skipped.
    bool StartSound(const std::string& strName);

    struct CSoundFile {
        CMappedFile file;
        std::string strName;
    };

    IWaveOut* m_pWaveOut;
    std::string m_strWavDir;
    std::list<std::unique_ptr<CPrompt>> m_queue;
    std::deque<SoundName> m_current; // names still to say
    std::unique_ptr<CSoundFile> m_pCurrent;
    std::map<std::string, std::uint32_t> m_durations;
    bool m_fInHandle = false;
    bool m_fErrorShown = false;
};

} // namespace velka
