// The station search: while auto search is on, a tune button starts a run of
// seek steps. The card answers each step with the frequency it reached and
// whether to go on (and which way); the program issues the next step 100 ms
// later, keeps the card muted meanwhile, shows every answer on the scale and
// the read-out, and tunes the card once, at the end. A key or a click ends a
// running search where it is.
#pragma once

#include <windows.h>

#include <cstdint>

#include "bitmap_button.h"
#include "tune_buttons.h"

// One seek step, the press of `button` while auto search is on.
void search_step(BitmapButton &button, TuneDirection direction);
// The seek step every run of them makes (the search, the station scan): the
// card muted, one seek in `direction`, the answer shown on the scale and the
// read-out. Returns the frequency the card reached; the card's continue word
// is left in searchContinues.
int32_t seek_and_show(TuneDirection direction);
// The end of a run: the sound back on, unless the user has muted it.
void sound_back();
// Arms `timer` for the next step of a run, at the search's pace.
void schedule_next_step(UINT_PTR timer);
// Timer tick: the next step, in the direction the card named.
void search_tick();
// Ends a running search at the frequency reached, without re-tuning.
void abort_search();
// Whether a search is running (the card's last answer said to go on).
bool search_running();
