// The software receiver as a second tuner card: the library the radio loads
// when its settings name an rtl_tcp server. It answers the card's fifteen
// requests, with the card's codes and buffers, from the receiver's state,
// so nothing above the radio's card link changes. No request waits on the
// network: the receiver's own threads do that.
#include <windows.h>

#include <cstring>

#include "receiver.h"
#include "source_dialog.h"
#include "source_setting.h"
#include "tuner_device.h"
#include "tuner_protocol.h"
#include "wave_out_sink.h"

namespace {

// The library's one receiver and its sound, for the life of the process.
sdr::WaveOutSink sound;
sdr::Receiver receiver;
HINSTANCE library;
// The sound's fade and what is queued (the sink's ring, 180 ms), with room to spare.
constexpr uint32_t FinishMs = 400;

// What stands for the card's handle: any value but none.
HANDLE const Card = reinterpret_cast<HANDLE>(&receiver);

// The radio's own values it sends only at start, while the server's link is
// not up yet and so the card is closed: the receiver takes them from the
// same settings key (as the radio reads them: the low byte of the level).
void take_start_values(HKEY key)
{
    DWORD number = 0;
    DWORD size = sizeof(number);
    if (RegQueryValueExA(key, "SearchLevel", nullptr, nullptr, reinterpret_cast<BYTE *>(&number), &size) ==
        ERROR_SUCCESS)
        receiver.SetSearchLevel(static_cast<int32_t>(number & 0xFF));
    number = 0;
    size = sizeof(number);
    if (RegQueryValueExA(key, "StereoNoiseCancel", nullptr, nullptr, reinterpret_cast<BYTE *>(&number), &size) ==
        ERROR_SUCCESS)
        receiver.SetBlend(number != 0);
}

sdr::Region region_of(uint16_t bandCode)
{
    return bandCode == TUNER_BAND_USA ? sdr::Region::Usa : bandCode == TUNER_BAND_JAPAN ? sdr::Region::Japan
                                                                                       : sdr::Region::Europe;
}

const TunerRequestLayout *layout_of(DWORD code)
{
    for (const TunerRequestLayout &layout : TunerRequestLayouts)
        if (layout.code == code)
            return &layout;
    return nullptr;
}

BOOL refuse(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

HANDLE WINAPI receiver_open()
{
    receiver.SetLinked(true);
    return receiver.LinkUp() ? Card : nullptr;
}

// Closed (the radio chose the card, or it lets a lost server go before
// trying again): no sound, and the one-client server is free.
BOOL WINAPI receiver_close(HANDLE handle)
{
    if (handle != Card)
        return refuse(ERROR_INVALID_HANDLE);
    receiver.SetPlaying(false);
    receiver.SetLinked(false);
    return TRUE;
}

BOOL WINAPI receiver_request(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                             DWORD outputSize, LPDWORD returned, LPOVERLAPPED)
{
    if (returned)
        *returned = 0;
    // The card's exact layouts, as its driver checks them.
    const TunerRequestLayout *layout = layout_of(code);
    if (!layout || inputSize != layout->inputSize || outputSize != layout->outputSize || (inputSize && !input) ||
        (outputSize && !output) || !returned)
        return refuse(ERROR_INVALID_PARAMETER);
    uint32_t word = 0;
    if (inputSize)
        std::memcpy(&word, input, inputSize < sizeof(word) ? inputSize : sizeof(word));
    if (code == TUNER_SET_BAND) {
        // The radio sends its band at start whether the card is there or not.
        receiver.SetRegion(region_of(static_cast<uint16_t>(word)));
        if (handle != Card)
            return refuse(ERROR_INVALID_HANDLE);
        return TRUE;
    }
    if (handle != Card)
        return refuse(ERROR_INVALID_HANDLE);
    uint32_t answer[2] = {};
    switch (code) {
    case TUNER_POLL_CARD:
        if (!receiver.LinkUp())
            return refuse(ERROR_DEVICE_NOT_CONNECTED);
        break;
    case TUNER_SET_POWER:
        // Off lets the one-client server go; on takes it again.
        receiver.SetPlaying(word != 0);
        receiver.SetLinked(word != 0);
        return TRUE;
    case TUNER_SEEK: {
        const sdr::SeekAnswer step = receiver.Seek(word == 1);
        std::memcpy(&answer[0], &step.frequency, sizeof(answer[0]));
        std::memcpy(&answer[1], &step.continues, sizeof(answer[1]));
        break;
    }
    case TUNER_SET_FREQUENCY:
        receiver.Tune(static_cast<int32_t>(word));
        return TRUE;
    case TUNER_SET_SEARCH_LEVEL:
        receiver.SetSearchLevel(static_cast<int32_t>(word));
        return TRUE;
    case TUNER_SET_MONO:
        receiver.SetMono(word == 1);
        return TRUE;
    case TUNER_SET_NOISE_CANCEL:
        receiver.SetBlend(word != 0);
        return TRUE;
    case TUNER_IS_STEREO:
        answer[0] = receiver.Stereo() ? 1 : 0;
        break;
    case TUNER_SET_MUTE:
        receiver.SetMute(word != 0);
        return TRUE;
    case TUNER_SET_VOLUME:
        receiver.SetVolume(static_cast<int32_t>(word));
        return TRUE;
    case TUNER_START_RDS:
    case TUNER_STOP_RDS:
        receiver.SetRds(code == TUNER_START_RDS);
        return TRUE;
    case TUNER_READ_RDS_TEXT:
        *returned = static_cast<DWORD>(receiver.ReadRdsText(static_cast<char *>(output), outputSize));
        return TRUE;
    case TUNER_RDS_LEVEL_TICK:
        answer[0] = receiver.RdsLevel();
        break;
    default:
        return refuse(ERROR_INVALID_PARAMETER);
    }
    std::memcpy(output, answer, outputSize);
    *returned = outputSize;
    return TRUE;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        library = instance;
    return TRUE;
}

// Takes the source the settings name; TRUE and the channel filled in when
// it is an rtl_tcp server the receiver could start for.
extern "C" BOOL WINAPI ReceiverConfigure(HKEY key, TunerChannel *channel)
{
    SourceSetting setting;
    load_source_setting(key, setting);
    if (!setting.server)
        return FALSE;
    sdr::ReceiverConfig config;
    std::memcpy(config.host, setting.host, sizeof(config.host));
    config.port = setting.port;
    config.gainTenthsDb = setting.gainTenthsDb;
    config.ppm = setting.ppm;
    if (!receiver.Start(config, &sound))
        return FALSE;
    take_start_values(key);
    channel->open = receiver_open;
    channel->request = receiver_request;
    channel->close = receiver_close;
    return TRUE;
}

// The program's end, its window gone and the card closed: the sound fades
// out and plays to its end before the process takes it away (cut, it clicks).
extern "C" void WINAPI ReceiverFinish()
{
    receiver.AwaitSilence(FinishMs);
}

extern "C" BOOL WINAPI ReceiverSourceDialog(HWND owner, HKEY key)
{
    return run_source_dialog(library, owner, key);
}
