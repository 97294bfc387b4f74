// The radio's one link to the card: holds the card's handle, turns every
// radio operation into exactly one request, and reconnects by itself. Its
// liveness poll reopens the card while it is closed and closes it as soon
// as the card stops answering, so pulling and reinserting the card needs
// no other code.
#pragma once

#include <windows.h>

#include <cstdint>

// Told when the card has been opened, so the application can put its mute
// controls out (the card starts unmuted). The application connects it.
class TunerOpenedObserver {
public:
    virtual ~TunerOpenedObserver() = default;
    virtual void OnTunerOpened() = 0;
};

// How the requests reach a card: the tuner card's driver, or a library that
// answers the same requests with the same buffers (the software receiver).
// The calls have the driver's own signatures, so the card's are the system's.
struct TunerChannel {
    HANDLE(WINAPI *open)();
    BOOL(WINAPI *request)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI *close)(HANDLE);
};

class TunerDevice {
public:
    TunerDevice();
    TunerDevice(const TunerDevice &) = delete;
    TunerDevice &operator=(const TunerDevice &) = delete;
    // Sends nothing and closes nothing: the window closes the card on its way out.
    virtual ~TunerDevice();

    void SetOpenedObserver(TunerOpenedObserver *observer) { openedObserver = observer; }

    void open();
    void close();
    int poll_card();

    int set_power(uint32_t on);
    int32_t seek_up();
    int32_t seek_down();
    int set_frequency(int32_t frequency);
    int set_search_level(int32_t level);
    int set_mono(int32_t audioMode);
    int set_stereo_noise_cancel(int32_t on);
    uint32_t is_stereo();
    int set_band(int32_t radioSystem);
    int set_mute(uint32_t on);
    int set_volume(int32_t volume);
    int start_rds();
    int stop_rds();
    bool rds_present() const;
    void read_rds_text();

    // One RDS level exchange; run every 100 ms by the thread timer of start_rds.
    void rds_level_tick();

    bool IsOpen() const { return handle != nullptr; }
    // Closes what is open, as a pulled card; the next poll opens the new
    // one: `next`, or the tuner card for none.
    void UseChannel(const TunerChannel *next);

    uint32_t rdsLevel;
    char rdsText[128];
    int32_t searchContinues; // 0 no search, 1 continue upward, 2 continue downward
    HANDLE handle;

private:
    int32_t seek(uint32_t direction);
    // One request without an answer; 0 and nothing sent without a handle.
    int send(uint32_t code, const void *value, DWORD size);
    bool request(uint32_t code, void *input, DWORD inputSize, void *output, DWORD outputSize,
                 DWORD *returned = nullptr);

    const TunerChannel *channel; // none: the tuner card through its driver
    UINT_PTR rdsTimer;
    int32_t lastFrequency; // where the card was last tuned, kept for a failed seek step
    TunerOpenedObserver *openedObserver;
};

// The radio program's one card link, defined with its other static objects.
extern TunerDevice tunerDevice;
