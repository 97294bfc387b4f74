#include "wave_out_device.h"

#include <windows.h>
#include <mmsystem.h>

#include "sdr_rates.h"

namespace sdr {

namespace {

constexpr uint32_t FrameBytes = 4; // 16-bit stereo

} // namespace

struct WaveOutDevice::Handles {
    UINT deviceId;
    HWAVEOUT out = nullptr;
    uint32_t count = 0;
    uint32_t lastPosition = 0;
    WAVEHDR headers[MaxWaveBuffers] = {};
};

WaveOutDevice::WaveOutDevice(uint32_t deviceId) : handles(new Handles)
{
    handles->deviceId = deviceId;
}

WaveOutDevice::~WaveOutDevice()
{
    Close();
    delete handles;
}

bool WaveOutDevice::Open(int16_t *memory, uint32_t count, uint32_t frames)
{
    Close();
    if (count > MaxWaveBuffers)
        return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = AudioRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = FrameBytes;
    format.nAvgBytesPerSec = AudioRate * FrameBytes;
    if (waveOutOpen(&handles->out, handles->deviceId, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        handles->out = nullptr;
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        WAVEHDR &header = handles->headers[i];
        header = WAVEHDR();
        header.lpData = reinterpret_cast<LPSTR>(memory + 2 * size_t(frames) * i);
        header.dwBufferLength = frames * FrameBytes;
        if (waveOutPrepareHeader(handles->out, &header, sizeof header) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
        header.dwFlags |= WHDR_DONE; // free until played
        handles->count = i + 1;
    }
    handles->lastPosition = 0;
    return true;
}

void WaveOutDevice::Close()
{
    if (!handles->out)
        return;
    waveOutReset(handles->out); // every buffer comes back
    for (uint32_t i = 0; i < handles->count; ++i)
        waveOutUnprepareHeader(handles->out, &handles->headers[i], sizeof(WAVEHDR));
    waveOutClose(handles->out);
    handles->out = nullptr;
    handles->count = 0;
}

bool WaveOutDevice::Play(uint32_t buffer)
{
    if (!handles->out || buffer >= handles->count)
        return false;
    WAVEHDR &header = handles->headers[buffer];
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    if (waveOutWrite(handles->out, &header, sizeof header) != MMSYSERR_NOERROR) {
        header.dwFlags |= WHDR_DONE;
        return false;
    }
    return true;
}

bool WaveOutDevice::Done(uint32_t buffer) const
{
    if (buffer >= handles->count)
        return true;
    // Set by the driver's thread: read afresh every time.
    const volatile DWORD &flags = handles->headers[buffer].dwFlags;
    return (flags & WHDR_DONE) != 0;
}

uint32_t WaveOutDevice::PlayedFrames()
{
    if (!handles->out)
        return 0;
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(handles->out, &time, sizeof time) == MMSYSERR_NOERROR) {
        // A driver may answer in another unit than the one asked for.
        if (time.wType == TIME_SAMPLES)
            handles->lastPosition = time.u.sample;
        else if (time.wType == TIME_BYTES)
            handles->lastPosition = time.u.cb / FrameBytes;
        else if (time.wType == TIME_MS)
            handles->lastPosition = time.u.ms * (AudioRate / 1000);
    }
    return handles->lastPosition;
}

} // namespace sdr
