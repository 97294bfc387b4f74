#include "tune_buttons.h"

#include "radio_controls.h"
#include "station_search.h"

void tune_press(BitmapButton &button, TuneDirection direction)
{
    if (autoSearchButton.IsOn()) {
        search_step(button, direction);
        return;
    }
    // A fine step stops at the band edge and does nothing while the card is out.
    if (direction == TuneDirection::Up)
        tuningScale.StepUp();
    else
        tuningScale.StepDown();
}
