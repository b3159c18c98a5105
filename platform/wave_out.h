// Wave output: plays one PCM buffer at a time on a player thread and says
// when it is done. Open errors come back at once as a code; a missing
// sound device is such an error, never a wait.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace velka {

struct WaveFormat {
    std::uint16_t wFormatTag = 0;   // 1 = PCM
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
};

class IWaveOut {
public:
    virtual ~IWaveOut() = default;
    // Starts playing the buffer (which must stay valid until done or Reset).
    // 0 when it started; otherwise an error code, and nothing was started.
    // fnDone runs once on the player thread when the buffer has played.
    virtual int Play(const WaveFormat& format, std::span<const std::uint8_t> data,
                     std::function<void()> fnDone) = 0;
    // Stops at once; fnDone is not called for a reset buffer. Returns when
    // the player no longer touches the buffer.
    virtual void Reset() = 0;
    // Text of an error code from Play.
    virtual std::string ErrorText(int nCode) const = 0;
};

// The ALSA output on the "default" device (or $VELKA_SOUND_DEVICE).
std::unique_ptr<IWaveOut> CreateAlsaWaveOut();

} // namespace velka
