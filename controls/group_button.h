// One preset group button, parameterised by its group (1-3). Pressing it
// selects the group and redraws the six labels at once; releasing it over
// itself lights it and puts the other two out. The lit one stays lit.
#pragma once

#include "bitmap_button.h"

class GroupButton : public BitmapButton {
public:
    explicit GroupButton(unsigned groupNumber) : group(groupNumber) {}
    ~GroupButton() override = default;

    void OnPress() override;
    void OnClick() override;

private:
    unsigned group;
};
