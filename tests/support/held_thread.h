// A program made to hang: the thread that owns one of its windows held
// still (suspended), so it answers no message and does not end; let go
// however the story ends.
#pragma once

#include <windows.h>

namespace testing {

class HeldThread {
public:
    explicit HeldThread(HWND window);
    HeldThread(const HeldThread &) = delete;
    HeldThread &operator=(const HeldThread &) = delete;
    virtual ~HeldThread();
    bool Held() const { return held; }
    void Release();

private:
    HANDLE thread;
    bool held = false;
};

} // namespace testing
