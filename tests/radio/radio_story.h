// What every story about the running radio starts from: the virtual card
// reset and inserted with an empty log, no stored settings but a window
// place where nothing covers it, and the controls' places on the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "card_log.h"
#include "device/tuner_protocol.h"
#include "radio_program.h"
#include "virtual_card.h"

namespace radio_test {

constexpr int WindowLeft = 120;
constexpr int WindowTop = 90;

// The controls' rectangles on the window, as a user finds them.
constexpr RECT TuneUp = {139, 107, 235, 145};
constexpr RECT TuneDown = {43, 107, 138, 145};
constexpr RECT AutoSearch = {0, 107, 42, 145};
constexpr RECT Mono = {3, 57, 34, 76};
constexpr RECT Mute = {0, 237, 38, 266};
constexpr RECT MuteLamp = {56, 35, 82, 61};
constexpr RECT StereoLamp = {86, 42, 105, 54};
constexpr RECT Power = {3, 37, 34, 56};
constexpr RECT Minimize = {207, 239, 228, 260};
constexpr RECT Rds = {0, 0, 39, 23};
constexpr RECT Presets[6] = {{43, 147, 84, 170},  {138, 147, 179, 170}, {43, 176, 84, 199},
                             {138, 176, 179, 199}, {43, 204, 84, 227},  {138, 204, 179, 227}};
constexpr RECT Groups[3] = {{45, 238, 95, 255}, {96, 238, 146, 255}, {147, 238, 197, 255}};
// The read-out's four cells and point, and the dial strip with the scale.
constexpr RECT Readout = {120, 40, 218, 61};
constexpr RECT ScaleStrip = {0, 77, 240, 104};
constexpr RECT Scale = {0, 79, 240, 101};
constexpr RECT Volume = {22, 160, 38, 216};
// The RDS window's text.
constexpr int RdsTextControl = 1009;
// Preset labels, 45 x 9 each.
constexpr POINT LabelCorners[6] = {{85, 154}, {184, 154}, {85, 183}, {184, 183}, {85, 211}, {184, 211}};

inline POINT Middle(const RECT &rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

inline RECT LabelRect(int slot)
{
    const POINT at = LabelCorners[slot - 1];
    return {at.x, at.y, at.x + 45, at.y + 9};
}

// The thumb of the tuning scale for `value` on a band starting at `low`
// (200 units over 218 pixels for USA).
RECT ScaleThumb(int value, int low, int high);

class RadioStory {
public:
    RadioStory();
    virtual ~RadioStory() = default;

    int64_t Ticks() { return card.State().counterFrequency; }
    // Waits until the first card-watch tick has tuned the card again: from
    // then on the radio sends only what the user or its timers ask.
    void AwaitFirstWatchTick();
    // The same, then an empty log: what follows is the story's own.
    void StartListening();
    // Now on the clock of the card's time stamps.
    static int64_t Now();
    // Milliseconds from the clock reading `start` to a logged request.
    double Since(int64_t start, const CardLogEntry &entry);
    // Waits until the card has received `count` requests of `code` (with
    // `word` as first input word when given) and returns them; on time-out
    // says what it waited for and what the card received.
    std::vector<CardLogEntry> AwaitRequests(uint32_t code, size_t count, DWORD timeoutMs = 5000);
    std::vector<CardLogEntry> AwaitRequestsWith(uint32_t code, int32_t word, size_t count, DWORD timeoutMs = 5000);
    // Waits until the RDS rule has lit the RDS button, then clicks it and
    // waits for the RDS window; the window, or null.
    HWND OpenRdsWindow(testing::RadioProgram &radio);
    // The RDS window's text after each of the next `reads` reads of the
    // card's text, each taken once the tick that made the read is handled.
    std::vector<std::string> RdsTextsAfterReads(HWND rdsWindow, size_t reads);
    // The commands the card received so far (watch traffic left out).
    std::vector<std::string> Commands() { return testing::Commands(card.Log()); }

    testing::VirtualCard card;
    testing::RadioSettings settings;
    testing::SkinImage normal{"BK_U.bmp"};
    testing::SkinImage pressed{"BK_P.bmp"};
    testing::SkinImage lit{"BK_E.bmp"};

private:
    std::vector<CardLogEntry> AwaitLogged(uint32_t code, const int32_t *word, size_t count, DWORD timeoutMs);
};

// Starts a radio that is on the foreground, ready for keys.
void StartActive(testing::RadioProgram &radio);

// Whether the client area's `area` shows that skin exactly.
inline bool ShowsSkin(const testing::RadioProgram &radio, const testing::SkinImage &skin, const RECT &area)
{
    return testing::Shows(radio.Shot(), skin, area);
}

// Waits until the area shows the skin.
bool WaitForSkin(const testing::RadioProgram &radio, const testing::SkinImage &skin, const RECT &area,
                 DWORD timeoutMs = 3000);

} // namespace radio_test
