// The buttons that act on the program rather than the card: power closes
// it, minimise hides it to the notification area, RDS opens the RDS text
// window.
#pragma once

#include "bitmap_button.h"

class PowerButton : public BitmapButton {
public:
    ~PowerButton() override = default;
    void OnClick() override;
};

class MinimizeButton : public BitmapButton {
public:
    ~MinimizeButton() override = default;
    void OnClick() override;
};

class RdsButton : public BitmapButton {
public:
    ~RdsButton() override = default;
    void OnClick() override;
};
