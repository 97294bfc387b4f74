// One preset button, parameterised by its slot (1-6). A click recalls the
// slot of the selected group; holding the button for a second stores the
// tuned frequency there, with a chime, and then recalls it.
#pragma once

#include "bitmap_button.h"

class PresetButton : public BitmapButton {
public:
    explicit PresetButton(unsigned slotNumber) : slot(slotNumber) {}
    ~PresetButton() override = default;

    void OnClick() override;
    void OnHold() override;

private:
    unsigned slot;
};
