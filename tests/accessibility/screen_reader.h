// A small screen reader in the test's process, reading the radio as Windows
// screen readers do: a window's accessible object through oleacc, and the
// events the radio announces, heard through an out-of-process WinEvent hook
// and resolved with AccessibleObjectFromEvent.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <functional>
#include <string>
#include <vector>

namespace reader {

// The radio window's children by id; the RDS button is the last one, while
// RDS is received.
constexpr long ReadoutId = 1;
constexpr long ScaleId = 2;
constexpr long VolumeId = 3;
constexpr long TuneUpId = 5;
constexpr long MuteId = 7;
constexpr long FirstPresetId = 9;
constexpr long FirstGroupId = 15;
constexpr long StereoId = 20;
constexpr long MutedId = 21;
constexpr long RdsId = 22;

// One element as read; location relative to the window's client area.
struct Element {
    long id = -1;
    std::string name, role, value, description, shortcut, action; // role: the system's text
    long state = 0;
    RECT location = {};
};

// One line of the printed tree: id, role, name, value, states, key, action, place.
std::string Line(const Element &element);

class ScreenReader {
public:
    ScreenReader(); // joins a single-threaded apartment, as readers' threads do
    ScreenReader(const ScreenReader &) = delete;
    ScreenReader &operator=(const ScreenReader &) = delete;
    virtual ~ScreenReader();

    HRESULT Open(HWND window); // the window's client-area object
    long ChildCount() const;
    Element Read(long id) const; // 0: the object itself
    std::vector<Element> ReadTree() const; // the object, then its children
    long HitTest(POINT screen) const; // a child id, 0 for the object itself, -1 for nothing
    HRESULT DoDefaultAction(long id) const;

private:
    IAccessible *object = nullptr;
    HWND window = nullptr;
    bool comJoined;
};

struct HeardEvent {
    DWORD event = 0;
    long child = 0;
    Element element; // as resolved on arrival; only the id for a DESTROY or REORDER
    bool resolved = false;
};

// Hears one window's client-area events (EVENT_OBJECT_CREATE to _VALUECHANGE).
class EventListener {
public:
    explicit EventListener(HWND window);
    EventListener(const EventListener &) = delete;
    EventListener &operator=(const EventListener &) = delete;
    virtual ~EventListener();

    bool Hooked() const { return hook != nullptr; }
    // Listens (the hook's calls come with the thread's messages) until an
    // event heard since the last Forget() is `wanted`.
    bool WaitFor(const std::function<bool(const HeardEvent &)> &wanted, DWORD timeoutMs = 5000);
    void Forget() { heard.clear(); }
    std::string Story() const; // what was heard, a line each

private:
    static void CALLBACK Arrived(HWINEVENTHOOK, DWORD event, HWND from, LONG object, LONG child, DWORD, DWORD);
    void Resolve();

    HWND window;
    HWINEVENTHOOK hook = nullptr;
    std::vector<HeardEvent> heard;
};

} // namespace reader
