#include "signal_source.h"

#include <windows.h>

#include "radio_state.h"
#include "settings.h"
#include "system_library.h"
#include "tuner_device.h"

namespace {

constexpr char ReceiverLibrary[] = "TavolinReceiver.dll";
constexpr char SignalSourceName[] = "SignalSource";
// The library's functions by their ordinals (device/receiver_card/receiver_card.def).
constexpr WORD ConfigureOrdinal = 1;
constexpr WORD DialogOrdinal = 2;
constexpr WORD FinishOrdinal = 3;

// The receiver's library fills in its channel when the settings name a
// server it can reach, and says whether they do.
using ConfigureFunction = BOOL(WINAPI *)(HKEY, TunerChannel *);
using DialogFunction = BOOL(WINAPI *)(HWND, HKEY);
using FinishFunction = void(WINAPI *)();

HMODULE receiverLibrary;
TunerChannel receiverChannel;

// A function of the receiver's library. Windows looks for a library in the
// program's own folder first. It stays loaded once it is: its threads run on.
FARPROC receiver_procedure(WORD ordinal)
{
    HMODULE library = receiverLibrary;
    if (!library)
        receiverLibrary = library = LoadLibraryA(ReceiverLibrary);
    return library ? GetProcAddress(library, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

// A SignalSource value that is not empty: the receiver decides what it names.
bool receiver_named(HKEY key)
{
    char first = 0;
    DWORD size = sizeof(first);
    return RegQueryValueExA(key, SignalSourceName, nullptr, nullptr, reinterpret_cast<BYTE *>(&first),
                            &size) == ERROR_MORE_DATA;
}

} // namespace

void choose_signal_source()
{
    // A source the receiver cannot take (or a missing library) is the card, as
    // every bad setting falls back to its default.
    TunerChannel *channel = nullptr;
    const HKEY key = settings.key;
    if (key && receiver_named(key)) {
        const auto configure = function_cast<ConfigureFunction>(receiver_procedure(ConfigureOrdinal));
        if (configure && configure(key, &receiverChannel))
            channel = &receiverChannel;
    }
    tunerDevice.UseChannel(channel);
}

void finish_signal_source()
{
    if (!receiverLibrary)
        return;
    const auto finish =
        function_cast<FinishFunction>(GetProcAddress(receiverLibrary, MAKEINTRESOURCEA(FinishOrdinal)));
    if (finish)
        finish();
}

void show_signal_source_dialog()
{
    const auto dialog = function_cast<DialogFunction>(receiver_procedure(DialogOrdinal));
    if (dialog && settings.key && dialog(mainWindow, settings.key))
        choose_signal_source();
}
