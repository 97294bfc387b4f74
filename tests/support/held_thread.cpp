#include "held_thread.h"

namespace testing {

HeldThread::HeldThread(HWND window)
    : thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr)))
{
    held = thread && SuspendThread(thread) != static_cast<DWORD>(-1);
}

HeldThread::~HeldThread()
{
    Release();
    if (thread)
        CloseHandle(thread);
}

void HeldThread::Release()
{
    if (held)
        ResumeThread(thread);
    held = false;
}

} // namespace testing
