#include "group_button.h"

#include "radio_controls.h"

void GroupButton::OnPress()
{
    presetBank.SelectGroup(group);
    presetBank.DrawLabels(0);
}

void GroupButton::OnClick()
{
    if (IsOn()) {
        for (GroupButton *other : groupButtons)
            if (other != this)
                other->SetOn(0);
        return;
    }
    // The lit button was clicked again: it stays lit (drawn after this returns).
    SetOn(1);
}
