// The agent's once-a-second decision: the card has come, so start the radio
// or bring its window forward; the card has gone, so ask the radio to close.
// Only a change of the card's presence acts, so a radio the user closed
// stays closed until the card goes and comes back.
#pragma once

#include <cstdint>

class CardWatch {
public:
    virtual ~CardWatch() = default;
    void tick();

private:
    void card_arrived();
    void card_left();

    // 1 once a tick found the card and started or showed the radio.
    uint32_t cardPresent = 0;
};

extern CardWatch cardWatch;
