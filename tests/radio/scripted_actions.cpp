#include "scripted_actions.h"

#include <doctest.h>

namespace radio_test {

namespace {

constexpr int ActionsPerRecall = 250;

LPARAM key_bits(WORD key, bool up)
{
    const auto scan = static_cast<LPARAM>(MapVirtualKeyA(key, 0));
    LPARAM bits = 1 | scan << 16;
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN)
        bits |= 1 << 24;
    if (up)
        bits |= static_cast<LPARAM>(0xC0000000u);
    return bits;
}

// Sent, not posted: a sent message is handled ahead of everything in the
// queue, so a posted one could still be waiting when a check looks.
bool deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &ignored) != 0;
}

} // namespace

void SendTap(HWND window, WORD key)
{
    deliver(window, WM_KEYDOWN, key, key_bits(key, false));
    deliver(window, WM_KEYUP, key, key_bits(key, true));
}

void SendClick(HWND window, POINT at)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    deliver(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    deliver(window, WM_LBUTTONUP, 0, where);
}

bool Sync(HWND window)
{
    return deliver(window, WM_NULL, 0, 0);
}

void ScriptedAction(HWND window, int index)
{
    if (index % ActionsPerRecall == ActionsPerRecall - 1) {
        SendClick(window, Middle(Presets[index / ActionsPerRecall % 6]));
        Sync(window);
        return;
    }
    switch (index % 10) {
    case 0: SendTap(window, VK_RIGHT); break;
    case 1: SendTap(window, VK_LEFT); break;
    case 2: SendTap(window, VK_UP); break;
    case 3: SendTap(window, VK_DOWN); break;
    case 4:
    case 5: SendClick(window, Middle(Mono)); break;
    case 6:
    case 7: SendClick(window, Middle(Mute)); break;
    case 8: SendClick(window, Middle(Groups[1])); break;
    default: SendClick(window, Middle(Groups[0])); break;
    }
    Sync(window);
}

bool PullAndAwaitRelease(RadioStory &story, uint32_t openersLeft, DWORD timeoutMs)
{
    tunercard::CardControlClient &control = story.card.Control();
    CardState state = {};
    if (!control.Pull()) {
        MESSAGE("the card refused to be pulled");
        return false;
    }
    if (!testing::WaitUntil([&] { return control.GetState(&state) && state.openHandles <= openersLeft; },
                            timeoutMs)) {
        MESSAGE("the pulled card still has " << state.openHandles << " open handles after " << timeoutMs
                                             << " ms, not " << openersLeft);
        return false;
    }
    return control.ClearLog();
}

bool InsertAndAwaitRetune(RadioStory &story, int frequency, int volume, DWORD timeoutMs)
{
    tunercard::CardControlClient &control = story.card.Control();
    control.ClearLog();
    if (!control.Insert()) {
        MESSAGE("the card refused to be inserted");
        return false;
    }
    std::vector<CardLogEntry> log;
    if (!testing::WaitUntil(
            [&] {
                log.clear();
                control.ReadLog(&log);
                return !(frequency < 0 ? testing::Only(log, TUNER_SET_FREQUENCY)
                                       : testing::Only(log, TUNER_SET_FREQUENCY, frequency))
                            .empty() &&
                       !testing::Only(log, TUNER_SET_VOLUME, volume).empty();
            },
            timeoutMs)) {
        MESSAGE("the inserted card was not sent volume " << volume << " and frequency " << frequency << " in "
                                                         << timeoutMs << " ms, only: "
                                                         << testing::Join(testing::Commands(log)));
        return false;
    }
    return true;
}

bool PullAndReinsert(RadioStory &story, int frequency, int volume, uint32_t openersLeft, DWORD timeoutMs)
{
    return PullAndAwaitRelease(story, openersLeft, timeoutMs) &&
           InsertAndAwaitRetune(story, frequency, volume, timeoutMs);
}

} // namespace radio_test
