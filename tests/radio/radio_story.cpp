#include "radio_story.h"

#include <doctest.h>

namespace radio_test {

RECT ScaleThumb(int value, int low, int high)
{
    const float scale = static_cast<float>(240 - 22) / static_cast<float>(high - low);
    const int offset = static_cast<int>(static_cast<double>(value - low) * static_cast<double>(scale));
    return {offset, 79, offset + 22, 101};
}

RadioStory::RadioStory()
{
    settings.PlaceWindow(WindowLeft, WindowTop);
}

void RadioStory::AwaitFirstWatchTick()
{
    REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 2).size() >= 2);
}

void RadioStory::StartListening()
{
    AwaitFirstWatchTick();
    card.ClearLog();
}

int64_t RadioStory::Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double RadioStory::Since(int64_t start, const CardLogEntry &entry)
{
    return static_cast<double>(entry.timestamp - start) * 1000.0 / static_cast<double>(Ticks());
}

std::vector<CardLogEntry> RadioStory::AwaitRequests(uint32_t code, size_t count, DWORD timeoutMs)
{
    return AwaitLogged(code, nullptr, count, timeoutMs);
}

std::vector<CardLogEntry> RadioStory::AwaitRequestsWith(uint32_t code, int32_t word, size_t count, DWORD timeoutMs)
{
    return AwaitLogged(code, &word, count, timeoutMs);
}

std::vector<CardLogEntry> RadioStory::AwaitLogged(uint32_t code, const int32_t *word, size_t count, DWORD timeoutMs)
{
    std::vector<CardLogEntry> log;
    std::vector<CardLogEntry> found;
    if (!testing::WaitUntil(
            [&] {
                log = card.Log();
                found = word ? testing::Only(log, code, *word) : testing::Only(log, code);
                return found.size() >= count;
            },
            timeoutMs)) {
        CardLogEntry wanted = {};
        wanted.code = code;
        MESSAGE("awaited " << count << " x " << testing::Describe(wanted) << (word ? " with " : "")
                           << (word ? std::to_string(*word) : std::string()) << " for " << timeoutMs
                           << " ms, found " << found.size() << "; the card's commands: "
                           << testing::Join(testing::Commands(log)));
    }
    return found;
}

HWND RadioStory::OpenRdsWindow(testing::RadioProgram &radio)
{
    // The RDS rule may put the button out, and the window with it, between
    // the picture and the click or just after (a signal that falters for a
    // moment: a starved test server on a loaded machine): such a click
    // rightly does nothing, and the button is waited for again. A lit button
    // that opens nothing three times over is a fault.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!WaitForSkin(radio, lit, Rds, 5000)) {
            MESSAGE("the RDS button did not light");
            return nullptr;
        }
        radio.Click(Middle(Rds).x, Middle(Rds).y);
        HWND rds = nullptr;
        if (testing::WaitUntil([&] { return (rds = testing::FindProcessDialog(radio.ProcessId(), "RDS")) != nullptr; }))
            return rds;
        MESSAGE((ShowsSkin(radio, lit, Rds) ? "the lit RDS button opened no RDS window"
                                            : "the RDS button went out before the click took")
                << "; waiting for it again");
    }
    MESSAGE("the RDS button opened no RDS window in three clicks");
    return nullptr;
}

std::vector<std::string> RadioStory::RdsTextsAfterReads(HWND rdsWindow, size_t reads)
{
    std::vector<std::string> texts;
    size_t seen = testing::Only(card.Log(), TUNER_READ_RDS_TEXT).size();
    while (texts.size() < reads) {
        size_t now = seen;
        REQUIRE_MESSAGE(
            testing::WaitUntil([&] { return (now = testing::Only(card.Log(), TUNER_READ_RDS_TEXT).size()) > seen; },
                               3000),
            "awaiting RDS text read " << texts.size() + 1 << " of " << reads << "; texts so far: "
                                      << testing::Join(texts));
        seen = now;
        texts.push_back(testing::WindowText(GetDlgItem(rdsWindow, RdsTextControl)));
    }
    return texts;
}

bool WaitForSkin(const testing::RadioProgram &radio, const testing::SkinImage &skin, const RECT &area,
                 DWORD timeoutMs)
{
    return testing::WaitUntil([&] { return ShowsSkin(radio, skin, area); }, timeoutMs);
}

} // namespace radio_test

namespace radio_test {

void StartActive(testing::RadioProgram &radio)
{
    REQUIRE(radio.Window());
    REQUIRE(radio.Activate());
}

} // namespace radio_test
