// The real radio program under test: started in the test prefix from a
// folder holding its skins, driven through its real window with real input
// (SendInput), and read back through the screen, the card's log and the
// registry. Tests of the dialogs and the agent use it too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry_key.h"

namespace testing {

constexpr char RadioWindowClass[] = "Vantor";
constexpr char RadioSettingsPath[] = "Software\\Corvane";
constexpr int RadioClientWidth = 240;
constexpr int RadioClientHeight = 268;

// Polls `condition` every 10 ms until it holds or `timeoutMs` have passed.
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = 5000);

// The radio's own registry key, deleted when a test starts and when it ends,
// so every story starts from a machine that never ran the radio.
class RadioSettings : public RegistryKey {
public:
    RadioSettings();
    ~RadioSettings() override = default;
    // A stored place on screen, so the window opens where nothing covers it.
    void PlaceWindow(int left, int top);
    int32_t Number(const char *name) const; // -1 when missing or not 4 bytes
    std::vector<int32_t> Numbers(const char *name) const;
};

// The client area as the screen shows it at one moment.
class ClientShot {
public:
    ClientShot() = default;
    explicit ClientShot(HWND window);
    COLORREF At(int x, int y) const;
    bool Valid() const { return !pixels.empty(); }
    // Saves it as a 24-bit BMP (for the test log and the docs).
    bool Save(const std::string &path) const;
    // Pixels of `area` that differ from `other`'s.
    int Differences(const ClientShot &other, const RECT &area) const;

    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
};

// One of the skin files beside the program (BK_U.bmp, BK_P.bmp, BK_E.bmp).
class SkinImage {
public:
    explicit SkinImage(const std::string &fileName);
    COLORREF At(int x, int y) const;
    bool Loaded() const { return !pixels.empty(); }

private:
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Pixels of `area` in `shot` that are not the skin's own at the same place.
int Mismatches(const ClientShot &shot, const SkinImage &skin, const RECT &area);
// Whether `area` shows the skin exactly.
bool Shows(const ClientShot &shot, const SkinImage &skin, const RECT &area);

class RadioProgram {
public:
    // Starts the program with `workingDirectory` as its current folder and
    // waits for its window (up to 15 s). `program` defaults to the build's.
    explicit RadioProgram(const std::string &workingDirectory = std::string(),
                          const std::string &program = std::string());
    // Takes over the radio another program started, found by its window.
    explicit RadioProgram(HWND runningWindow);
    RadioProgram(const RadioProgram &) = delete;
    RadioProgram &operator=(const RadioProgram &) = delete;
    // Closes it as the user would (WM_CLOSE) if it still runs; kills it after 10 s.
    virtual ~RadioProgram();

    bool Started() const { return started; }
    HWND Window() const { return window; }
    DWORD ProcessId() const { return process.dwProcessId; }
    bool Running() const;
    // The exit code, or -1 when it has not ended in time.
    int WaitExit(DWORD timeoutMs = 10000);
    // Posts WM_CLOSE and waits for the process to end.
    bool Close(DWORD timeoutMs = 10000);

    POINT ToScreen(int x, int y) const;
    // Brings the window to the foreground so that keys reach it.
    bool Activate();
    // Real input at client coordinates.
    void MoveTo(int x, int y);
    // Real input at screen coordinates, for any window.
    static void MoveToScreen(POINT at);
    static void ClickScreen(POINT at);
    void Press(int x, int y);
    void Release();
    void Click(int x, int y);
    void KeyDown(WORD key);
    void KeyUp(WORD key);
    void Tap(WORD key);
    // Returns once the window's thread has handled everything sent before.
    void Settle();

    ClientShot Shot() const { return ClientShot(window); }

private:
    bool started = false;
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

// The visible window of `windowClass` (any, when null) that belongs to
// `processId`, or null.
HWND FindProcessWindow(DWORD processId, const char *windowClass);
// The visible dialog box of `processId` with that caption, or null.
HWND FindProcessDialog(DWORD processId, const char *caption);
// A window's text as its own procedure gives it (WM_GETTEXT), also for the
// controls of another process.
std::string WindowText(HWND window);
// The middle of a window on the screen.
POINT ScreenMiddle(HWND window);

// Every window of a process, hidden ones included: the top-level ones, and
// all of them with their children (the USER objects a window leaves behind).
struct WindowCensus {
    int topLevel = 0;
    int visible = 0; // top-level ones shown
    int all = 0;
};
WindowCensus CountProcessWindows(DWORD processId);

} // namespace testing
