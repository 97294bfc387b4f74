// The two tune buttons. With auto search off a press (and every repeat tick
// of a held button) steps the tuning scale by 0.1 MHz; with auto search on a
// press runs one step of the station search instead.
#pragma once

#include "bitmap_button.h"

enum class TuneDirection { Down, Up };

// One fine step or one search step of `button`, by the auto-search toggle.
void tune_press(BitmapButton &button, TuneDirection direction);

template <TuneDirection direction>
class TuneButton : public BitmapButton {
public:
    // The arrow keys call this directly, without the button's press look.
    void OnPress() override { tune_press(*this, direction); }
    // Runs only while repeatEnabled is 1, which auto search keeps at 0.
    void OnRepeat() override { OnPress(); }
    ~TuneButton() override = default;
};

using TuneUpButton = TuneButton<TuneDirection::Up>;
using TuneDownButton = TuneButton<TuneDirection::Down>;
