// The agent's look at the card: it opens the card's interface the way the
// radio does and lets go at once. It never sends a request, and holding
// nothing between looks leaves the card to the radio.
#pragma once

#include <windows.h>

class CardProbe {
public:
    virtual ~CardProbe();
    // Holds a handle afterwards when the card is inserted and can be opened.
    void open();
    void close();
    bool found() const { return handle != nullptr; }

private:
    HANDLE handle = nullptr;
};

extern CardProbe cardProbe;
