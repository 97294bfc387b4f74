// The measured stories behind scripts/bench.sh. Each test case prints its
// figures as "figure NAME VALUE" lines; the repaint and discovery counts come
// from Wine's relay trace of the radio, which this program turns on for the
// radio alone and cuts into segments with "@@" lines on the same stream
// (standard error). Nothing here judges a figure: the script prints them
// beside their references. Run one case at a time with -tc="NAME".
#include <doctest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "process_probe.h"
#include "scripted_actions.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr COLORREF BareFillColour = RGB(0x20, 0x60, 0xA0);
// The read-out's four digit cells (the point sits between the third and the fourth).
constexpr RECT ReadoutCells[4] = {{120, 40, 143, 61}, {143, 40, 166, 61}, {166, 40, 189, 61}, {195, 40, 218, 61}};

int setting(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

void figure(const std::string &name, double value)
{
    std::printf("figure %s %.3f\n", name.c_str(), value);
    std::fflush(stdout);
}

void mark(const std::string &text)
{
    std::fprintf(stderr, "@@%s\n", text.c_str());
    std::fflush(stderr);
}

std::string code_name(uint32_t code)
{
    for (const TunerRequestLayout &layout : TunerRequestLayouts)
        if (layout.code == code)
            return layout.name;
    return "other";
}

double now_ms()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Before each launch: Wine finishes a program's exit (its windows, the
// notification area, the wineserver's records) after its process handle is
// signalled, and a launch at once is billed for that work (about 50 ms on
// the radio's median, measured).
constexpr DWORD LaunchPauseMs = 500;

struct Launch {
    double startMs = -1;   // on the QueryPerformanceCounter clock, as the marks
    double elapsedMs = -1; // to the window seen painted; -1 when never
};

// Starts `program` after the pause and measures from process creation until
// `painted` sees its window drawn; the program is then closed.
Launch launch_until_painted(const std::string &program, const std::string &arguments, const char *windowClass,
                            const std::function<bool(const testing::ClientShot &)> &painted)
{
    Sleep(LaunchPauseMs);
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const std::string folder = testing::BinDirectory();
    Launch launch;
    launch.startMs = now_ms();
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return Launch();
    HWND window = nullptr;
    testing::WaitUntil(
        [&] {
            if (!window)
                window = testing::FindProcessWindow(process.dwProcessId, windowClass);
            if (window && painted(testing::ClientShot(window)))
                launch.elapsedMs = now_ms() - launch.startMs;
            return launch.elapsedMs >= 0;
        },
        20000);
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return launch;
}

// The marks radio_marked.exe wrote: each step's time since the one before,
// the first since its launch, as figures "startup.step.NAME". False when the
// file is missing.
bool step_figures(const std::string &path, double launchedAt)
{
    FILE *file = std::fopen(path.c_str(), "r");
    if (!file)
        return false;
    char step[64];
    double at = 0;
    double previous = launchedAt;
    while (std::fscanf(file, "%63s %lf", step, &at) == 2) {
        figure(std::string("startup.step.") + step, at - previous);
        previous = at;
    }
    std::fclose(file);
    figure("startup.marked_total_ms", previous - launchedAt);
    return true;
}

int changed_cells(const testing::ClientShot &before, const testing::ClientShot &after)
{
    int cells = 0;
    for (const RECT &cell : ReadoutCells)
        cells += after.Differences(before, cell) != 0;
    return cells;
}

// The least BitBlts of one preset label: each cell's background, the glyph
// of each cell that shows one (a leading zero is blank), and the point's
// background and image. The label shows the preset clamped into the band.
int label_least(int value)
{
    value = std::min(std::max(value, 880), 1080);
    const int digits[4] = {value / 1000, value / 100 % 10, value / 10 % 10, value % 10};
    int count = 2;
    for (int cell = 0; cell < 4; ++cell) {
        const bool blank = (cell == 0 && digits[0] == 0) || (cell == 1 && digits[0] == 0 && digits[1] == 0);
        count += blank ? 1 : 2;
    }
    return count;
}

std::string rect_text(const RECT &rect)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

// A measured row: the BitBlts of segment `segment` (only those whose
// destination corner lies in `only`, when given) beside `least`. Unless
// `only` names them, the lamps' timer redraws are left out (they are
// measured on their own, idle).
void repaint_row(const std::string &row, const std::string &segment, int least, const RECT *only = nullptr)
{
    mark("row " + row + "|" + segment + "|" + std::to_string(least) + "|" + (only ? rect_text(*only) : "-"));
}

// Runs `action` as segment `segment` of the relay trace.
void segment(const std::string &name, const std::function<void()> &action)
{
    mark("begin " + name);
    action();
    mark("end " + name);
}

class WineDebugFor {
public:
    explicit WineDebugFor(const char *channels)
    {
        const DWORD length = GetEnvironmentVariableA("WINEDEBUG", saved, sizeof(saved));
        hadValue = length > 0 && length < sizeof(saved);
        SetEnvironmentVariableA("WINEDEBUG", channels);
    }
    virtual ~WineDebugFor() { SetEnvironmentVariableA("WINEDEBUG", hadValue ? saved : nullptr); }

private:
    char saved[256] = {};
    bool hadValue = false;
};

void print_figures(const std::string &prefix, const testing::ProcessFigures &figures)
{
    figure(prefix + ".gdi", figures.gdiObjects);
    figure(prefix + ".windows", figures.windows);
    figure(prefix + ".handles", figures.handles);
    figure(prefix + ".private_kb", static_cast<double>(figures.privateBytes) / 1024.0);
}

std::map<std::string, int> count_by_code(const std::vector<CardLogEntry> &log)
{
    std::map<std::string, int> counts;
    for (const CardLogEntry &entry : log)
        ++counts[code_name(entry.code)];
    return counts;
}

} // namespace

TEST_CASE("start-up")
{
    const int runs = setting("BENCH_STARTUP_RUNS", 7);
    const std::string bin = testing::BinDirectory();
    testing::SkinImage normal("BK_U.bmp");
    REQUIRE(normal.Loaded());
    const auto radio_painted = [&](const testing::ClientShot &shot) {
        return testing::Shows(shot, normal, Power) && testing::Shows(shot, normal, Minimize) &&
               testing::Shows(shot, normal, Presets[5]);
    };
    const auto bare_painted = [](const testing::ClientShot &shot) {
        return shot.At(10, 10) == BareFillColour && shot.At(shot.width - 5, shot.height - 5) == BareFillColour;
    };
    const std::string place = std::to_string(WindowLeft) + " " + std::to_string(WindowTop);
    // Set once for every start: a card reset or a registry write just before
    // a launch would be billed to it.
    testing::VirtualCard card;
    testing::RadioSettings settings;
    settings.PlaceWindow(WindowLeft, WindowTop);
    char temp[MAX_PATH];
    REQUIRE(GetTempPathA(sizeof(temp), temp) > 0);
    const std::string marks = std::string(temp) + "radio-startup-marks.txt";
    SetEnvironmentVariableA("RADIO_STARTUP_MARKS", marks.c_str());
    // One start of each first, not counted: the first start of a program
    // in a session also pays for loading Wine's libraries.
    for (int run = -1; run < runs; ++run) {
        const Launch radio =
            launch_until_painted(bin + "\\Tavolin.exe", "", testing::RadioWindowClass, radio_painted);
        const Launch bare =
            launch_until_painted(bin + "\\bare_window.exe", place, "TavolinBareWindow", bare_painted);
        DeleteFileA(marks.c_str());
        const Launch marked =
            launch_until_painted(bin + "\\radio_marked.exe", "", testing::RadioWindowClass, radio_painted);
        if (run >= 0) {
            figure("startup.radio_ms", radio.elapsedMs);
            figure("startup.bare_ms", bare.elapsedMs);
            figure("startup.marked_ms", marked.elapsedMs);
            CHECK(step_figures(marks, marked.startMs));
        }
    }
    SetEnvironmentVariableA("RADIO_STARTUP_MARKS", nullptr);
    DeleteFileA(marks.c_str());
}

TEST_CASE_FIXTURE(RadioStory, "repaint and traffic")
{
    settings.SetNumber("CurrentFrequency", 953); // mono, no RDS: the lamps stay out
    std::unique_ptr<RadioProgram> started;
    {
        WineDebugFor relay("+pid,+relay");
        started.reset(new RadioProgram);
    }
    RadioProgram &radio = *started;
    StartActive(radio);
    char pid[32];
    std::snprintf(pid, sizeof(pid), "radio %04lx", radio.ProcessId());
    mark(pid);
    StartListening();
    radio.Settle();

    // Traffic with the card in and idle.
    const int trafficSeconds = setting("BENCH_TRAFFIC_SECONDS", 10);
    card.ClearLog();
    Sleep(static_cast<DWORD>(trafficSeconds) * 1000);
    for (const auto &code : count_by_code(card.Log()))
        figure("traffic.in." + code.first, static_cast<double>(code.second) / trafficSeconds);

    // Repaint: each action with its least, from what the pixels show changed.
    testing::ClientShot before = radio.Shot();
    const auto measure = [&](const std::string &name, const std::function<void()> &action) {
        before = radio.Shot();
        segment(name, [&] {
            action();
            radio.Settle();
        });
    };
    for (int step = 0; step < 7; ++step) { // 95.3 -> 96.0: one digit six times, then two
        const std::string name = "fine_step_" + std::to_string(step);
        measure(name, [&] { radio.Tap(VK_RIGHT); });
        const testing::ClientShot after = radio.Shot();
        const int thumb = after.Differences(before, Scale) != 0 ? 3 : 0;
        const int cells = changed_cells(before, after);
        repaint_row("fine step, " + std::to_string(cells) + " digit(s) changed", name, thumb + 3 * cells);
    }
    for (int step = 0; step < 4; ++step) {
        const std::string name = "volume_step_" + std::to_string(step);
        measure(name, [&] { radio.Tap(VK_UP); });
        const bool moved = radio.Shot().Differences(before, Volume) != 0;
        repaint_row(std::string("volume step, thumb ") + (moved ? "moved" : "in place"), name, moved ? 3 : 0);
    }
    measure("auto_search_on", [&] { radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y); });
    repaint_row("button press and release (auto search)", "auto_search_on", 2);
    measure("auto_search_off", [&] { radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y); });
    measure("auto_search_key_on", [&] { radio.Tap('A'); });
    repaint_row("button press and release by its key (A)", "auto_search_key_on", 2);
    measure("auto_search_key_off", [&] { radio.Tap('A'); });
    measure("mute_on", [&] { radio.Click(Middle(Mute).x, Middle(Mute).y); });
    repaint_row("lamp change (mute lamp lit)", "mute_on", 1, &MuteLamp);
    repaint_row("mute: press, release and lamp", "mute_on", 3);
    measure("mute_off", [&] { radio.Click(Middle(Mute).x, Middle(Mute).y); });
    measure("preset_store", [&] {
        radio.KeyDown('1');
        Sleep(1400);
        radio.KeyUp('1');
        Sleep(400);
    });
    const RECT label1 = LabelRect(1);
    repaint_row("preset label redraw", "preset_store", label_least(960), &label1);
    repaint_row("preset store: press, label, release", "preset_store", 1 + label_least(960) + 1);
    measure("group_switch", [&] { radio.Click(Middle(Groups[1]).x, Middle(Groups[1]).y); });
    // Press face, six labels of the empty group 2, the lit face, and group
    // 1's button put out.
    repaint_row("group switch (1 to 2)", "group_switch", 1 + 6 * label_least(0) + 1 + 1);
    const int idleSeconds = 5;
    segment("idle", [&] { Sleep(idleSeconds * 1000); });
    mark("row idle, per second (lamp timers)|idle|0|-|" + std::to_string(idleSeconds));

    // Discovery with the card out.
    const int tuned = card.State().frequency;
    card.Control().Pull();
    REQUIRE(testing::WaitUntil([&] { return card.State().openHandles == 0; }, 5000));
    segment("card_out", [&] { Sleep(static_cast<DWORD>(trafficSeconds) * 1000); });
    mark("discovery card_out " + std::to_string(trafficSeconds));
    card.ClearLog();
    card.Control().Insert();
    REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, tuned, 1).size() >= 1);

    // A search upward to the next station: from its first seek to its last.
    radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y);
    radio.Settle();
    card.ClearLog();
    radio.Click(Middle(TuneUp).x, Middle(TuneUp).y);
    size_t seen = 0;
    DWORD quietSince = GetTickCount();
    testing::WaitUntil(
        [&] {
            const size_t seeks = card.LogOf(TUNER_SEEK).size();
            if (seeks != seen) {
                seen = seeks;
                quietSince = GetTickCount();
            }
            return seen > 0 && GetTickCount() - quietSince > 800;
        },
        30000);
    const std::vector<CardLogEntry> log = card.Log();
    const std::vector<CardLogEntry> seeks = testing::Only(log, TUNER_SEEK);
    REQUIRE(seeks.size() >= 2);
    const double span = testing::Milliseconds(seeks.front(), seeks.back(), Ticks()) / 1000.0;
    std::vector<CardLogEntry> during;
    for (const CardLogEntry &entry : log)
        if (entry.sequence >= seeks.front().sequence && entry.sequence <= seeks.back().sequence)
            during.push_back(entry);
    figure("traffic.search.seconds", span);
    for (const auto &code : count_by_code(during))
        figure("traffic.search." + code.first, static_cast<double>(code.second) / span);
    CHECK(radio.Close());
}

TEST_CASE_FIXTURE(RadioStory, "idle cost")
{
    const int seconds = setting("BENCH_IDLE_SECONDS", 60);
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    radio.Settle();
    testing::ProcessProbe probe(radio.ProcessId());
    REQUIRE(probe.Valid());
    double start = probe.CpuSeconds();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    figure("idle.card_in_cpu_ms", (probe.CpuSeconds() - start) * 1000.0);
    figure("idle.seconds", seconds);
    card.Control().Pull();
    REQUIRE(testing::WaitUntil([&] { return card.State().openHandles == 0; }, 5000));
    start = probe.CpuSeconds();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    figure("idle.card_out_cpu_ms", (probe.CpuSeconds() - start) * 1000.0);
    card.Control().Insert();
    CHECK(radio.Close());
}

TEST_CASE_FIXTURE(RadioStory, "resources")
{
    const int actions = setting("BENCH_ACTIONS", 10000);
    const int cycles = setting("BENCH_CYCLES", 1000);
    settings.SetNumber("CurrentFrequency", 1017);
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    radio.Settle();
    testing::ProcessProbe probe(radio.ProcessId());
    REQUIRE(probe.Valid());
    print_figures("resources.start", probe.Read());
    double start = now_ms();
    for (int action = 0; action < actions; ++action)
        ScriptedAction(radio.Window(), action);
    radio.Settle();
    figure("resources.actions.count", actions);
    figure("resources.actions.seconds", (now_ms() - start) / 1000.0);
    print_figures("resources.actions", probe.Read());
    // Back to a known frequency for the cycles.
    SendClick(radio.Window(), Middle(Presets[0]));
    Sync(radio.Window());
    const int frequency = static_cast<int>(card.State().frequency);
    const int volume = static_cast<int>(card.State().volume);
    start = now_ms();
    int reopened = 0;
    for (int cycle = 0; cycle < cycles; ++cycle)
        reopened += PullAndReinsert(*this, frequency, volume);
    figure("resources.cycles.count", cycles);
    figure("resources.cycles.reopened", reopened);
    figure("resources.cycles.seconds", (now_ms() - start) / 1000.0);
    radio.Settle();
    print_figures("resources.cycles", probe.Read());
    figure("resources.cycles.running", radio.Running() ? 1 : 0);
    CHECK(radio.Close());
}
