// Which card the radio plays: the tuner card, or the software receiver
// (TavolinReceiver.dll beside the program, an RTL2832U dongle behind an
// rtl_tcp server) when the settings name a server. The receiver's library
// is loaded only then, or when the user opens its dialog; it reads and
// writes its own values (SignalSource, SdrGain, SdrPpm) in the settings key.
#pragma once

// At start, before the card is opened, and after the dialog changed the source.
void choose_signal_source();

// At the program's end, its window gone: the receiver's sound fades out and
// plays to its end before the process ends (nothing when it is the card).
void finish_signal_source();

// Option > Signal Source...: the receiver's dialog. A new source is taken at
// once, as a re-plug: the old one is closed, and the card watch opens the new one.
void show_signal_source_dialog();
