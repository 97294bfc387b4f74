#include "tuner_device.h"

#include <cstring>

#include "tuner_discovery.h"
#include "tuner_protocol.h"

namespace {

constexpr UINT kRdsTickMs = 100;

// Thread timers carry no window to find their object by; only one card link
// runs its RDS exchange at a time, and this is it.
TunerDevice *rdsTickDevice = nullptr;

void CALLBACK rds_tick_callback(HWND, UINT, UINT_PTR, DWORD)
{
    if (rdsTickDevice)
        rdsTickDevice->rds_level_tick();
}

} // namespace

TunerDevice::TunerDevice()
    : rdsLevel(0), rdsText{}, searchContinues(0), handle(nullptr), channel(nullptr), rdsTimer(0),
      lastFrequency(0), openedObserver(nullptr)
{
}

void TunerDevice::UseChannel(const TunerChannel *next)
{
    close();
    channel = next;
}

TunerDevice::~TunerDevice()
{
    if (rdsTickDevice == this)
        rdsTickDevice = nullptr;
}

bool TunerDevice::request(uint32_t code, void *input, DWORD inputSize, void *output, DWORD outputSize,
                          DWORD *returned)
{
    DWORD count = 0;
    BOOL ok = (channel ? channel->request : DeviceIoControl)(handle, code, input, inputSize, output, outputSize, &count, nullptr);
    if (returned)
        *returned = ok ? count : 0;
    return ok != FALSE;
}

void TunerDevice::open()
{
    if (handle)
        return; // already open: a second open would leak the handle and the RDS timer
    handle = channel ? channel->open() : open_tuner_interface(TunerInterfaceGuid, 0);
    if (!handle)
        return;
    set_power(1);
    start_rds();
    if (openedObserver)
        openedObserver->OnTunerOpened();
    set_mute(0);
}

void TunerDevice::close()
{
    if (!handle)
        return;
    stop_rds();
    set_power(0);
    (channel ? channel->close : CloseHandle)(handle);
    handle = nullptr;
}

int TunerDevice::poll_card()
{
    if (!handle)
        open();
    if (!handle)
        return 0;
    uint32_t word = 0;
    if (!request(TUNER_POLL_CARD, &word, sizeof(word), &word, sizeof(word))) {
        close();
        return 0;
    }
    return 1;
}

int TunerDevice::send(uint32_t code, const void *value, DWORD size)
{
    if (!handle)
        return 0;
    request(code, const_cast<void *>(value), size, nullptr, 0); // the card's answer is not looked at
    return 1;
}

int TunerDevice::set_power(uint32_t on)
{
    return send(TUNER_SET_POWER, &on, sizeof(on));
}

int32_t TunerDevice::seek(uint32_t direction)
{
    if (!handle)
        return 0;
    TunerSeekRequest input = {direction, direction};
    TunerSeekAnswer answer = {lastFrequency, TUNER_SEEK_DONE};
    if (!request(TUNER_SEEK, &input, sizeof(input), &answer, sizeof(answer))) {
        // The card gave no answer: stay where the card was and end the search.
        answer.frequency = lastFrequency;
        answer.searchContinues = TUNER_SEEK_DONE;
    }
    searchContinues = answer.searchContinues;
    lastFrequency = answer.frequency;
    return answer.frequency;
}

int32_t TunerDevice::seek_up()
{
    return seek(1);
}

int32_t TunerDevice::seek_down()
{
    return seek(0);
}

int TunerDevice::set_frequency(int32_t frequency)
{
    if (!send(TUNER_SET_FREQUENCY, &frequency, sizeof(frequency)))
        return 0;
    lastFrequency = frequency;
    return 1;
}

int TunerDevice::set_search_level(int32_t level)
{
    uint16_t clamped = static_cast<uint16_t>(level < 0 ? 0 : level > 3 ? 3 : level);
    return send(TUNER_SET_SEARCH_LEVEL, &clamped, sizeof(clamped));
}

int TunerDevice::set_mono(int32_t audioMode)
{
    uint32_t mono = audioMode == 1 ? 1u : 0u;
    return send(TUNER_SET_MONO, &mono, sizeof(mono));
}

int TunerDevice::set_stereo_noise_cancel(int32_t on)
{
    uint32_t word = on ? 1u : 0u;
    return send(TUNER_SET_NOISE_CANCEL, &word, sizeof(word));
}

uint32_t TunerDevice::is_stereo()
{
    if (!handle)
        return 0;
    uint32_t word = 0;
    if (!request(TUNER_IS_STEREO, &word, sizeof(word), &word, sizeof(word)))
        return 0; // no answer means no stereo
    return word;
}

int TunerDevice::set_band(int32_t radioSystem)
{
    // RadioSystem 1 (USA) and 3 (Japan) have codes of their own; Europe and
    // anything unknown get the Europe code. Only the low 16 bits count.
    uint16_t system = static_cast<uint16_t>(radioSystem & 0xFFFF);
    uint16_t band = system == 1 ? TUNER_BAND_USA : system == 3 ? TUNER_BAND_JAPAN : TUNER_BAND_EUROPE;
    // No handle test: without a card the request itself fails.
    return request(TUNER_SET_BAND, &band, sizeof(band), nullptr, 0) ? 1 : 0;
}

int TunerDevice::set_mute(uint32_t on)
{
    return send(TUNER_SET_MUTE, &on, sizeof(on));
}

int TunerDevice::set_volume(int32_t volume)
{
    return send(TUNER_SET_VOLUME, &volume, sizeof(volume));
}

int TunerDevice::start_rds()
{
    if (!send(TUNER_START_RDS, nullptr, 0))
        return 0;
    rdsLevel = 0;
    rdsTickDevice = this;
    rdsTimer = SetTimer(nullptr, 0, kRdsTickMs, rds_tick_callback);
    return 1;
}

int TunerDevice::stop_rds()
{
    if (!send(TUNER_STOP_RDS, nullptr, 0))
        return 0;
    if (rdsTimer)
        KillTimer(nullptr, rdsTimer);
    rdsTimer = 0;
    if (rdsTickDevice == this)
        rdsTickDevice = nullptr;
    return 1;
}

void TunerDevice::rds_level_tick()
{
    if (!handle)
        return;
    // The card answers in the same word; a failed exchange keeps the old level.
    uint32_t word = rdsLevel;
    if (request(TUNER_RDS_LEVEL_TICK, &word, sizeof(word), &word, sizeof(word)))
        rdsLevel = word;
}

bool TunerDevice::rds_present() const
{
    return rdsLevel > TUNER_RDS_LEVEL_PRESENT;
}

void TunerDevice::read_rds_text()
{
    char buffer[TUNER_RDS_TEXT_BYTES + 1] = {};
    DWORD count = 0;
    // No handle test: without a card the request fails and the text is empty.
    request(TUNER_READ_RDS_TEXT, buffer, TUNER_RDS_TEXT_BYTES, buffer, TUNER_RDS_TEXT_BYTES, &count);
    if (count > TUNER_RDS_TEXT_BYTES)
        count = TUNER_RDS_TEXT_BYTES;
    buffer[count] = '\0';
    std::strncpy(rdsText, buffer, sizeof(rdsText) - 1); // stops at the first NUL the card sent
    rdsText[sizeof(rdsText) - 1] = '\0';
}
