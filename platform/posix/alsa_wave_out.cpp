// Wave output over ALSA. The device is opened and configured on the calling
// thread without blocking (so a missing or busy device is an error at once);
// the frames are written by one player thread, which posts completion
// through the callback.
#include <alsa/asoundlib.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/wave_out.h"

namespace velka {
namespace {

class CAlsaWaveOut final : public IWaveOut {
public:
    CAlsaWaveOut() : m_thread([this] { Run(); }) {}
    ~CAlsaWaveOut() override {
        Reset();
        {
            std::lock_guard lock(m_mutex);
            m_fQuit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

    int Play(const WaveFormat& format, std::span<const std::uint8_t> data,
             std::function<void()> fnDone) override {
        Reset();
        if (format.wFormatTag != 1) return -EINVAL;
        snd_pcm_format_t pcmFormat;
        switch (format.wBitsPerSample) {
        case 8: pcmFormat = SND_PCM_FORMAT_U8; break;
        case 16: pcmFormat = SND_PCM_FORMAT_S16_LE; break;
        case 24: pcmFormat = SND_PCM_FORMAT_S24_3LE; break;
        case 32: pcmFormat = SND_PCM_FORMAT_S32_LE; break;
        default: return -EINVAL;
        }
        if (format.nChannels == 0 || format.nBlockAlign == 0) return -EINVAL;
        const char* szDevice = std::getenv("VELKA_SOUND_DEVICE");
        snd_pcm_t* pcm = nullptr;
        int rc = snd_pcm_open(&pcm, szDevice && *szDevice ? szDevice : "default", SND_PCM_STREAM_PLAYBACK,
                              SND_PCM_NONBLOCK);
        if (rc < 0) return rc;
        rc = snd_pcm_set_params(pcm, pcmFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                                format.nSamplesPerSec, 1, 500000);
        if (rc < 0) {
            snd_pcm_close(pcm);
            return rc;
        }
        {
            std::lock_guard lock(m_mutex);
            m_pcm = pcm;
            m_data = data;
            m_cbFrame = format.nBlockAlign;
            m_fnDone = std::move(fnDone);
            m_fStop = false;
            m_fBusy = true;
        }
        m_cv.notify_all();
        return 0;
    }

    void Reset() override {
        std::unique_lock lock(m_mutex);
        if (!m_fBusy) return;
        m_fStop = true;
        m_cv.notify_all();
        m_cvIdle.wait(lock, [this] { return !m_fBusy; });
    }

    std::string ErrorText(int nCode) const override { return snd_strerror(nCode); }

private:
    void Run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_fQuit || (m_fBusy && m_pcm); });
            if (m_fQuit) return;
            snd_pcm_t* pcm = m_pcm;
            std::span<const std::uint8_t> data = m_data;
            const std::size_t cbFrame = m_cbFrame;
            lock.unlock();
            const bool fPlayed = Write(pcm, data, cbFrame);
            snd_pcm_close(pcm);
            lock.lock();
            std::function<void()> fnDone = std::move(m_fnDone);
            m_pcm = nullptr;
            m_fBusy = false;
            m_cvIdle.notify_all();
            if (fPlayed && fnDone) {
                lock.unlock();
                fnDone();
                lock.lock();
            }
        }
    }

    // Writes in slices so that a stop request is seen within ~50 ms.
    bool Write(snd_pcm_t* pcm, std::span<const std::uint8_t> data, std::size_t cbFrame) {
        snd_pcm_uframes_t cFrames = data.size() / cbFrame;
        const std::uint8_t* p = data.data();
        while (cFrames > 0) {
            if (Stopping()) {
                snd_pcm_drop(pcm);
                return false;
            }
            snd_pcm_sframes_t n = snd_pcm_writei(pcm, p, cFrames);
            if (n == -EAGAIN) {
                snd_pcm_wait(pcm, 50);
                continue;
            }
            if (n < 0) n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
            if (n < 0) return true; // device lost: the buffer counts as done
            p += static_cast<std::size_t>(n) * cbFrame;
            cFrames -= static_cast<snd_pcm_uframes_t>(n);
        }
        // Wait for the queued frames to play out, still watching for a stop.
        while (!Stopping()) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(pcm, &delay) < 0 || delay <= 0) break;
            snd_pcm_wait(pcm, 50);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (Stopping()) {
            snd_pcm_drop(pcm);
            return false;
        }
        snd_pcm_drain(pcm);
        return true;
    }

    bool Stopping() {
        std::lock_guard lock(m_mutex);
        return m_fStop || m_fQuit;
    }

    std::mutex m_mutex;
    std::condition_variable m_cv, m_cvIdle;
    snd_pcm_t* m_pcm = nullptr;
    std::span<const std::uint8_t> m_data;
    std::size_t m_cbFrame = 1;
    std::function<void()> m_fnDone;
    bool m_fBusy = false, m_fStop = false, m_fQuit = false;
    std::thread m_thread; // last: starts after the members above exist
};

} // namespace

// ALSA's own messages would repeat each open error on stderr for every
// sound; the caller reports the error code instead.
static void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

std::unique_ptr<IWaveOut> CreateAlsaWaveOut() {
    snd_lib_error_set_handler(&QuietAlsaError);
    return std::make_unique<CAlsaWaveOut>();
}

} // namespace velka
