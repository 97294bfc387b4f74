#include "screen_reader.h"

#include <algorithm>
#include <cstdio>

#include "radio_program.h"

namespace reader {

namespace {

using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR *);

std::string text_of(IAccessible *object, TextGetter getter, VARIANT child)
{
    BSTR text = nullptr;
    std::string result;
    if (SUCCEEDED((object->*getter)(child, &text)) && text) {
        const int length = static_cast<int>(SysStringLen(text));
        result.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr)));
        WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], static_cast<int>(result.size()), nullptr, nullptr);
    }
    SysFreeString(text);
    return result;
}

long number_of(HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT *), IAccessible *object,
               VARIANT child)
{
    VARIANT answer;
    VariantInit(&answer);
    const long number = SUCCEEDED((object->*getter)(child, &answer)) && answer.vt == VT_I4 ? answer.lVal : -1;
    VariantClear(&answer);
    return number;
}

VARIANT child_variant(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

Element read_element(IAccessible *object, VARIANT child, HWND window)
{
    Element element;
    element.id = child.lVal;
    element.name = text_of(object, &IAccessible::get_accName, child);
    element.value = text_of(object, &IAccessible::get_accValue, child);
    element.description = text_of(object, &IAccessible::get_accDescription, child);
    element.shortcut = text_of(object, &IAccessible::get_accKeyboardShortcut, child);
    element.action = text_of(object, &IAccessible::get_accDefaultAction, child);
    char role[64] = {};
    GetRoleTextA(static_cast<DWORD>(number_of(&IAccessible::get_accRole, object, child)), role, sizeof(role));
    element.role = role;
    element.state = number_of(&IAccessible::get_accState, object, child);
    long left = 0, top = 0, width = 0, height = 0;
    if (SUCCEEDED(object->accLocation(&left, &top, &width, &height, child))) {
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        element.location = {left - origin.x, top - origin.y, left - origin.x + width, top - origin.y + height};
    }
    return element;
}

EventListener *activeListener;

} // namespace

std::string Line(const Element &element)
{
    std::string line = std::to_string(element.id) + " " + element.role + " \"" + element.name + "\"";
    if (!element.value.empty())
        line += " = \"" + element.value + "\"";
    std::string states;
    for (long bit = 1; bit > 0 && bit <= element.state; bit <<= 1) {
        char name[64] = {};
        if ((element.state & bit) && GetStateTextA(static_cast<DWORD>(bit), name, sizeof(name)))
            states += (states.empty() ? "" : ", ") + std::string(name);
    }
    if (!states.empty())
        line += " [" + states + "]";
    if (!element.shortcut.empty())
        line += " key " + element.shortcut;
    if (!element.action.empty())
        line += " does " + element.action;
    char place[64];
    std::snprintf(place, sizeof(place), " at %ld,%ld %ldx%ld", element.location.left, element.location.top,
                  element.location.right - element.location.left, element.location.bottom - element.location.top);
    return line + place;
}

ScreenReader::ScreenReader() : comJoined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ScreenReader::~ScreenReader()
{
    if (object)
        object->Release();
    if (comJoined)
        CoUninitialize();
}

HRESULT ScreenReader::Open(HWND target)
{
    if (object)
        object->Release();
    object = nullptr;
    window = target;
    return AccessibleObjectFromWindow(target, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                      reinterpret_cast<void **>(&object));
}

long ScreenReader::ChildCount() const
{
    long count = -1;
    return object && SUCCEEDED(object->get_accChildCount(&count)) ? count : -1;
}

Element ScreenReader::Read(long id) const
{
    return object ? read_element(object, child_variant(id), window) : Element();
}

std::vector<Element> ScreenReader::ReadTree() const
{
    std::vector<Element> tree;
    for (long id = 0; id <= ChildCount(); ++id)
        tree.push_back(Read(id));
    return tree;
}

long ScreenReader::HitTest(POINT screen) const
{
    VARIANT found;
    VariantInit(&found);
    const long id = object && object->accHitTest(screen.x, screen.y, &found) == S_OK && found.vt == VT_I4
                        ? found.lVal
                        : -1;
    VariantClear(&found);
    return id;
}

HRESULT ScreenReader::DoDefaultAction(long id) const
{
    return object ? object->accDoDefaultAction(child_variant(id)) : E_POINTER;
}

EventListener::EventListener(HWND target) : window(target)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(target, &processId);
    activeListener = this;
    hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_VALUECHANGE, nullptr, Arrived, processId, 0,
                           WINEVENT_OUTOFCONTEXT);
}

EventListener::~EventListener()
{
    if (hook)
        UnhookWinEvent(hook);
    activeListener = nullptr;
}

// Only noted here: the hook's calls can come while a call into the radio
// waits; they are resolved once it has returned.
void CALLBACK EventListener::Arrived(HWINEVENTHOOK, DWORD event, HWND from, LONG object, LONG child, DWORD, DWORD)
{
    if (activeListener && from == activeListener->window && object == OBJID_CLIENT) {
        HeardEvent heard;
        heard.event = event;
        heard.child = child;
        heard.element.id = child;
        activeListener->heard.push_back(heard);
    }
}

void EventListener::Resolve()
{
    // By index: a call into the radio lets the hook add to `heard` meanwhile.
    for (size_t index = 0; index < heard.size(); ++index) {
        if (heard[index].resolved)
            continue;
        heard[index].resolved = true;
        if (heard[index].event == EVENT_OBJECT_DESTROY || heard[index].event == EVENT_OBJECT_REORDER)
            continue;
        IAccessible *object = nullptr;
        VARIANT child;
        VariantInit(&child);
        if (SUCCEEDED(AccessibleObjectFromEvent(window, static_cast<DWORD>(OBJID_CLIENT),
                                                static_cast<DWORD>(heard[index].child), &object, &child)) &&
            object) {
            const Element element = read_element(object, child, window);
            object->Release();
            heard[index].element = element;
        }
        VariantClear(&child);
    }
}

bool EventListener::WaitFor(const std::function<bool(const HeardEvent &)> &wanted, DWORD timeoutMs)
{
    return testing::WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            Resolve();
            return std::any_of(heard.begin(), heard.end(), wanted);
        },
        timeoutMs);
}

std::string EventListener::Story() const
{
    std::string story;
    for (const HeardEvent &event : heard) {
        char code[16];
        std::snprintf(code, sizeof(code), "0x%04lx: ", event.event);
        story += code + Line(event.element) + "\n";
    }
    return story;
}

} // namespace reader
