// One accessible object stands for the whole client area. Its children are
// simple elements, known by child id only (1 to the count, in reading
// order), so one static object with a table answers for all of them.
//
// Nothing here runs, and nothing is loaded, before a reader first asks:
// every function this file calls outside the program is looked up then
// (oleacc, ole32 and oleaut32 are loaded for it), so the import table that
// every start binds stays as it was.
#include "accessible_radio.h"

#include <oleacc.h>

#include <cstdint>

#include "input_router.h"
#include "radio_controls.h"
#include "radio_state.h"
#include "resource.h"
#include "system_library.h"

// MinGW-w64's liboleacc.a also exports IID_IAccessible, as an import thunk:
// linked ahead of libuuid.a it gives code bytes instead of the GUID, and
// every reader's request fails. __uuidof needs neither library.
static_assert(__uuidof(IAccessible).Data1 == 0x618736e0 && __uuidof(IAccessible).Data2 == 0x3c3d &&
                  __uuidof(IAccessible).Data3 == 0x11cf && __uuidof(IAccessible).Data4[0] == 0x81 &&
                  __uuidof(IAccessible).Data4[1] == 0x0c && __uuidof(IAccessible).Data4[2] == 0x00 &&
                  __uuidof(IAccessible).Data4[3] == 0xaa && __uuidof(IAccessible).Data4[4] == 0x00 &&
                  __uuidof(IAccessible).Data4[5] == 0x38 && __uuidof(IAccessible).Data4[6] == 0x9b &&
                  __uuidof(IAccessible).Data4[7] == 0x71,
              "IID_IAccessible is {618736E0-3C3D-11CF-810C-00AA00389B71}");

namespace {

enum class Kind : uint8_t {
    Readout, // value: the frequency, or that no card is there
    Scale,   // value: the frequency
    Volume,  // value: the level in percent
    Preset,  // value: the stored station, or empty; a push button
    Push,
    Check, // checked while lit
    Radio, // checked while lit
    Lamp,  // checked while lit
    Window, // the client area itself, CHILDID_SELF
};
constexpr uint8_t RoleOf[] = {
    ROLE_SYSTEM_STATICTEXT,  ROLE_SYSTEM_SLIDER,      ROLE_SYSTEM_SLIDER,    ROLE_SYSTEM_PUSHBUTTON,
    ROLE_SYSTEM_PUSHBUTTON,  ROLE_SYSTEM_CHECKBUTTON, ROLE_SYSTEM_RADIOBUTTON, ROLE_SYSTEM_INDICATOR,
    ROLE_SYSTEM_CLIENT,
};

// The children in reading order, then the window itself: two tables side by
// side. Child id N is index N - 1; the window itself, CHILDID_SELF, comes
// last. The RDS button, a child only while RDS is received, is the last
// child, so that every other child keeps its id as it comes and goes (a
// reader resolving an event a moment late still finds the child it was
// about). A child's name, description, keyboard shortcut and default action
// are strings IDS_ACCESSIBLE_NAME, _DESCRIPTION, _SHORTCUT and _ACTION + its
// index.
constexpr Kind ChildKinds[] = {
    Kind::Readout, Kind::Scale,  Kind::Volume, Kind::Push,   Kind::Push,   Kind::Check,  Kind::Check, Kind::Check,
    Kind::Preset,  Kind::Preset, Kind::Preset, Kind::Preset, Kind::Preset, Kind::Preset, Kind::Radio, Kind::Radio,
    Kind::Radio,   Kind::Push,   Kind::Push,   Kind::Lamp,   Kind::Lamp,   Kind::Push,   Kind::Window,
};
constexpr BitmapButton *ChildButtons[] = {
    nullptr,         nullptr,        nullptr,        &tuneDownButton, &tuneUpButton,  &autoSearchButton,
    &muteButton,     &monoButton,    &presetButton1, &presetButton2,  &presetButton3, &presetButton4,
    &presetButton5,  &presetButton6, &groupButton1,  &groupButton2,   &groupButton3,  &powerButton,
    &minimizeButton, &stereoIndicator, &muteIndicator, &rdsButton,    nullptr,
};
constexpr int FirstPreset = 8;
constexpr int RdsIndex = 21;
constexpr int WindowIndex = 22;
static_assert(sizeof(ChildKinds) == WindowIndex + 1 && sizeof(ChildButtons) == sizeof(ChildKinds) * sizeof(void *),
              "one kind and one button for each child");
static_assert(ChildButtons[FirstPreset] == &presetButton1 && ChildButtons[RdsIndex] == &rdsButton &&
                  ChildKinds[WindowIndex] == Kind::Window,
              "the tables' landmarks");

// The functions this file calls outside the program, looked up when a
// reader first comes; `listening` once all were found.
enum Function {
    CoInitializeFunction,
    AllocateTextFunction,
    ParentFunction,
    LresultFunction,
    NotifyFunction,
    MapPointsFunction,
    LoadTextFunction,
    FormatFunction,
    FocusFunction,
    FunctionCount
};
struct Import {
    const char *library;
    const char *name;
};
constexpr Import Imports[FunctionCount] = {
    {"ole32.dll", "CoInitialize"},
    {"oleaut32.dll", "SysAllocStringLen"},
    {"oleacc.dll", "AccessibleObjectFromWindow"},
    {"oleacc.dll", "LresultFromObject"},
    {"user32.dll", "NotifyWinEvent"},
    {"user32.dll", "MapWindowPoints"},
    {"user32.dll", "LoadStringW"},
    {"user32.dll", "wsprintfW"},
    {"user32.dll", "GetFocus"},
};
FARPROC functions[FunctionCount];
bool connectTried;
bool listening;

template <typename Type>
Type function(Function which)
{
    return function_cast<Type>(functions[which]);
}

// Values are kept in tenths, the frequency's own unit: the texts show
// "%d.%d" of them, or the whole part alone.
constexpr int VolumeTenthsOfPercent = 1000;
constexpr int TextLength = 128;

// What the last announcement left each child with.
struct Seen {
    LONG state;
    int value;
};
Seen seen[WindowIndex];

// The object is laid out as COM lays out any object: a pointer to its table
// of methods. The table is written out by hand (below) rather than made by a
// C++ class deriving IAccessible, for the child argument: a VARIANT passed
// by value, which GCC copies to an 8-byte aligned place in every method on
// i686. Declared with the stack's own alignment it is read where it lies.
struct ChildArgument {
    VARTYPE vt;
    WORD reserved[3];
    LONG id;
    BYTE rest[sizeof(VARIANT) - 3 * sizeof(WORD) - sizeof(VARTYPE) - sizeof(LONG)];
};
static_assert(sizeof(ChildArgument) == sizeof(VARIANT), "a VARIANT's size");

// The RDS button is a child only while RDS is received (its rule enables it).
bool rds_button_shown()
{
    return rdsButton.enabled != 0;
}

LONG child_count()
{
    return rds_button_shown() ? WindowIndex : WindowIndex - 1;
}

// The table index of a child id, -1 for none.
int index_of_id(LONG id)
{
    if (id == CHILDID_SELF)
        return WindowIndex;
    const auto index = static_cast<unsigned long>(id) - 1;
    return index < static_cast<unsigned long>(child_count()) ? static_cast<int>(index) : -1;
}

int index_of(const ChildArgument &child)
{
    return child.vt == VT_I4 ? index_of_id(child.id) : -1;
}

// On the screen.
RECT screen_rect_of(int index)
{
    RECT rect;
    switch (ChildKinds[index]) {
    case Kind::Window:
        rect = {0, 0, ClientWidth, ClientHeight};
        break;
    case Kind::Readout:
        rect = frequencyDisplay.Bounds();
        break;
    case Kind::Scale:
        rect = tuningScale.Rect();
        break;
    case Kind::Volume:
        rect = volumeSlider.Rect();
        break;
    default:
        rect = ChildButtons[index]->Rect();
        break;
    }
    function<decltype(&MapWindowPoints)>(MapPointsFunction)(mainWindow, nullptr, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

LONG state_of(int index)
{
    const Kind kind = ChildKinds[index];
    if (kind == Kind::Window)
        return STATE_SYSTEM_FOCUSABLE |
               (function<decltype(&GetFocus)>(FocusFunction)() == mainWindow ? STATE_SYSTEM_FOCUSED : 0);
    if (kind == Kind::Scale)
        return tuningScale.IsEnabled() ? 0 : STATE_SYSTEM_UNAVAILABLE;
    const BitmapButton *button = ChildButtons[index];
    if (!button)
        return 0;
    LONG state = button->enabled ? 0 : STATE_SYSTEM_UNAVAILABLE;
    // A lit push button (RDS) is lit for show: only the latching ones are checked.
    if (kind >= Kind::Check && button->IsOn())
        state |= STATE_SYSTEM_CHECKED;
    return state;
}

// In tenths; 0 for no card or an empty preset (and for what has no value).
[[gnu::noinline]] int value_of(int index)
{
    switch (ChildKinds[index]) {
    case Kind::Readout:
        return tuningScale.IsEnabled() ? frequencyDisplay.GetValue() : 0;
    case Kind::Scale:
        return tuningScale.GetValue();
    case Kind::Volume:
        return (volumeSlider.GetValue() - VolumeSlider::Minimum) * VolumeTenthsOfPercent /
               (VolumeSlider::Maximum - VolumeSlider::Minimum);
    case Kind::Preset:
        return presetBank.GetPreset(static_cast<unsigned>(presetBank.GetGroup()),
                                    static_cast<unsigned>(index - FirstPreset + 1));
    default:
        return 0;
    }
}

// String `id` with the tenths of `value` put in; S_FALSE and no text when
// the table has no such string.
HRESULT text(UINT id, int value, BSTR *out)
{
    WCHAR format[TextLength];
    if (!function<decltype(&LoadStringW)>(LoadTextFunction)(appInstance, id, format, TextLength))
        return S_FALSE;
    WCHAR filled[TextLength];
    const int length = function<decltype(&wsprintfW)>(FormatFunction)(filled, format, value / 10, value % 10);
    *out = function<decltype(&SysAllocStringLen)>(AllocateTextFunction)(filled, static_cast<UINT>(length));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Silent until a reader has come.
void notify(DWORD event, LONG id)
{
    if (listening)
        function<decltype(&NotifyWinEvent)>(NotifyFunction)(event, mainWindow, OBJID_CLIENT, id);
}

void announce()
{
    for (int index = 0; index < WindowIndex; ++index) {
        const Seen now = {state_of(index), value_of(index)};
        Seen &last = seen[index];
        const LONG id = index + 1;
        if (now.state != last.state) {
            // The RDS button changes only by coming and going.
            const bool rds = index == RdsIndex;
            notify(!rds ? EVENT_OBJECT_STATECHANGE : now.state ? EVENT_OBJECT_DESTROY : EVENT_OBJECT_CREATE, id);
            if (rds)
                notify(EVENT_OBJECT_REORDER, CHILDID_SELF);
        }
        if (now.value != last.value)
            notify(EVENT_OBJECT_VALUECHANGE, id);
        last = now;
    }
}

// What a reader asks of a child (or of the window itself). The asks
// answered with a pointer come first, then those with a number.
enum class Ask : uint8_t {
    Name,
    Description,
    Shortcut,
    Action,
    Value,
    Child,
    Role,
    State,
    Click,
};
constexpr uint16_t TableText[] = {IDS_ACCESSIBLE_NAME, IDS_ACCESSIBLE_DESCRIPTION, IDS_ACCESSIBLE_SHORTCUT,
                                  IDS_ACCESSIBLE_ACTION};
// The value's text by kind (the kinds with a value), for 0 and for any other value.
constexpr uint16_t ValueText[][2] = {
    {IDS_NO_CARD_VALUE, IDS_FREQUENCY_VALUE},
    {IDS_FREQUENCY_VALUE, IDS_FREQUENCY_VALUE},
    {IDS_VOLUME_VALUE, IDS_VOLUME_VALUE},
    {IDS_EMPTY_PRESET_VALUE, IDS_FREQUENCY_VALUE},
};

HRESULT answer(const ChildArgument &child, Ask ask, void *out)
{
    // A failure leaves the out argument as it came (COM's stub clears it);
    // a text or an object answered with S_FALSE is null.
    const int index = index_of(child);
    if (ask < Ask::Role)
        *static_cast<void **>(out) = nullptr;
    if (index < 0)
        return E_INVALIDARG;
    const Kind kind = ChildKinds[index];
    int value = 0;
    UINT id = 0;
    switch (ask) {
    case Ask::Role:
    case Ask::State: {
        auto *number = static_cast<VARIANT *>(out);
        number->vt = VT_I4;
        number->lVal = ask == Ask::Role ? RoleOf[static_cast<int>(kind)] : state_of(index);
        return S_OK;
    }
    case Ask::Child:
        return S_FALSE; // a simple element: no object of its own
    case Ask::Click:
        // The buttons; the lamps do nothing.
        if (kind < Kind::Preset || kind > Kind::Radio)
            return DISP_E_MEMBERNOTFOUND;
        click_control(*ChildButtons[index]);
        return S_OK;
    case Ask::Value:
        value = value_of(index);
        if (kind <= Kind::Preset)
            id = ValueText[static_cast<int>(kind)][value != 0];
        break;
    default:
        id = TableText[static_cast<int>(ask)] + static_cast<UINT>(index);
        break;
    }
    return text(id, value, static_cast<BSTR *>(out));
}

struct Object;
using TextMethod = HRESULT(STDMETHODCALLTYPE *)(Object *, ChildArgument, BSTR *);
using NumberMethod = HRESULT(STDMETHODCALLTYPE *)(Object *, ChildArgument, VARIANT *);
using FoundMethod = HRESULT(STDMETHODCALLTYPE *)(Object *, VARIANT *);
using PutMethod = HRESULT(STDMETHODCALLTYPE *)(Object *, ChildArgument, BSTR);
using CountMethod = ULONG(STDMETHODCALLTYPE *)(Object *);

// IAccessible's methods in its order, IUnknown's and IDispatch's first.
struct Methods {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(Object *, REFIID, void **);
    CountMethod AddRef;
    CountMethod Release;
    HRESULT(STDMETHODCALLTYPE *GetTypeInfoCount)(Object *, UINT *);
    HRESULT(STDMETHODCALLTYPE *GetTypeInfo)(Object *, UINT, LCID, ITypeInfo **);
    HRESULT(STDMETHODCALLTYPE *GetIDsOfNames)(Object *, REFIID, LPOLESTR *, UINT, LCID, DISPID *);
    HRESULT(STDMETHODCALLTYPE *Invoke)(Object *, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                       UINT *);
    HRESULT(STDMETHODCALLTYPE *get_accParent)(Object *, IDispatch **);
    HRESULT(STDMETHODCALLTYPE *get_accChildCount)(Object *, LONG *);
    HRESULT(STDMETHODCALLTYPE *get_accChild)(Object *, ChildArgument, IDispatch **);
    TextMethod get_accName;
    TextMethod get_accValue;
    TextMethod get_accDescription;
    NumberMethod get_accRole;
    NumberMethod get_accState;
    TextMethod get_accHelp;
    HRESULT(STDMETHODCALLTYPE *get_accHelpTopic)(Object *, BSTR *, ChildArgument, LONG *);
    TextMethod get_accKeyboardShortcut;
    FoundMethod get_accFocus;
    FoundMethod get_accSelection;
    TextMethod get_accDefaultAction;
    HRESULT(STDMETHODCALLTYPE *accSelect)(Object *, LONG, ChildArgument);
    HRESULT(STDMETHODCALLTYPE *accLocation)(Object *, LONG *, LONG *, LONG *, LONG *, ChildArgument);
    HRESULT(STDMETHODCALLTYPE *accNavigate)(Object *, LONG, ChildArgument, VARIANT *);
    HRESULT(STDMETHODCALLTYPE *accHitTest)(Object *, LONG, LONG, VARIANT *);
    HRESULT(STDMETHODCALLTYPE *accDoDefaultAction)(Object *, ChildArgument);
    PutMethod put_accName;
    PutMethod put_accValue;
};
static_assert(sizeof(Methods) == 28 * sizeof(void *), "IAccessible's 28 methods");

struct Object {
    const Methods *methods;
};

template <Ask ask, typename Out>
HRESULT STDMETHODCALLTYPE ask_child(Object *, ChildArgument child, Out *out)
{
    return answer(child, ask, out);
}

constexpr const GUID *Interfaces[] = {&__uuidof(IAccessible), &__uuidof(IDispatch), &__uuidof(IUnknown)};

HRESULT STDMETHODCALLTYPE query_interface(Object *object, REFIID iid, void **out)
{
    const auto *asked = reinterpret_cast<const uint8_t *>(&iid);
    for (const GUID *known : Interfaces) {
        const auto *bytes = reinterpret_cast<const uint8_t *>(known);
        unsigned same = 0;
        while (same < sizeof(GUID) && bytes[same] == asked[same])
            ++same;
        if (same == sizeof(GUID)) {
            *out = object;
            return S_OK;
        }
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// Static: nothing to count.
ULONG STDMETHODCALLTYPE count_reference(Object *)
{
    return 1;
}

// No type information: readers call IAccessible directly.
HRESULT STDMETHODCALLTYPE type_info_count(Object *, UINT *count)
{
    *count = 0;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE type_info(Object *, UINT, LCID, ITypeInfo **)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE ids_of_names(Object *, REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE invoke(Object *, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}

// The window's frame, as the system describes it.
HRESULT STDMETHODCALLTYPE parent(Object *, IDispatch **out)
{
    return function<decltype(&AccessibleObjectFromWindow)>(ParentFunction)(
        mainWindow, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch), reinterpret_cast<void **>(out));
}

HRESULT STDMETHODCALLTYPE children(Object *, LONG *count)
{
    *count = child_count();
    return S_OK;
}

// The methods the radio has nothing for fail and leave their out
// arguments as they came. Nothing inside the window is selected or has the
// keyboard by itself: the window reports its focus in its state.
HRESULT STDMETHODCALLTYPE no_help(Object *, ChildArgument, BSTR *)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE no_help_topic(Object *, BSTR *, ChildArgument, LONG *)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE nothing_found(Object *, VARIANT *)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE no_select(Object *, LONG, ChildArgument)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE location(Object *, LONG *left, LONG *top, LONG *width, LONG *height, ChildArgument child)
{
    const int index = index_of(child);
    if (index < 0)
        return E_INVALIDARG;
    const RECT rect = screen_rect_of(index);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE no_navigation(Object *, LONG, ChildArgument, VARIANT *)
{
    return DISP_E_MEMBERNOTFOUND;
}

// The child under a point of the screen, the window itself between them
// (it is looked at last), nothing outside it.
HRESULT STDMETHODCALLTYPE hit_test(Object *, LONG x, LONG y, VARIANT *found)
{
    found->vt = VT_I4;
    for (LONG id = child_count(); id >= CHILDID_SELF; --id) {
        const RECT rect = screen_rect_of(index_of_id(id));
        if (PtInRect(&rect, POINT{x, y})) {
            found->lVal = id;
            return S_OK;
        }
    }
    found->vt = VT_EMPTY;
    return S_FALSE;
}

// What a click does.
HRESULT STDMETHODCALLTYPE default_action(Object *, ChildArgument child)
{
    return answer(child, Ask::Click, nullptr);
}

HRESULT STDMETHODCALLTYPE no_put(Object *, ChildArgument, BSTR)
{
    return DISP_E_MEMBERNOTFOUND;
}

constexpr Methods RadioMethods = {
    query_interface,
    count_reference,
    count_reference,
    type_info_count,
    type_info,
    ids_of_names,
    invoke,
    parent,
    children,
    ask_child<Ask::Child, IDispatch *>,
    ask_child<Ask::Name, BSTR>,
    ask_child<Ask::Value, BSTR>,
    ask_child<Ask::Description, BSTR>,
    ask_child<Ask::Role, VARIANT>,
    ask_child<Ask::State, VARIANT>,
    no_help,
    no_help_topic,
    ask_child<Ask::Shortcut, BSTR>,
    nothing_found,
    nothing_found,
    ask_child<Ask::Action, BSTR>,
    no_select,
    location,
    no_navigation,
    hit_test,
    default_action,
    no_put,
    no_put,
};

Object radioObject = {&RadioMethods};

// Looks up what the object needs; false when something is missing.
bool connect()
{
    if (!connectTried) {
        connectTried = true;
        for (int which = 0; which < FunctionCount; ++which)
            if (!(functions[which] = system_procedure(Imports[which].library, Imports[which].name)))
                return false;
        // The window's thread becomes an apartment of its own: the readers'
        // calls arrive through its message loop.
        function<decltype(&CoInitialize)>(CoInitializeFunction)(nullptr);
        announce(); // what the reader finds now is no news
        listening = true;
    }
    return listening;
}

} // namespace

LRESULT on_get_object(HWND window, UINT message, WPARAM flags, LPARAM objectId)
{
    if (static_cast<DWORD>(objectId) == static_cast<DWORD>(OBJID_CLIENT) && connect())
        return function<decltype(&LresultFromObject)>(LresultFunction)(__uuidof(IAccessible), flags,
                                                                        reinterpret_cast<IUnknown *>(&radioObject));
    return DefWindowProcA(window, message, flags, objectId);
}

void announce_changes()
{
    if (listening)
        announce();
}
