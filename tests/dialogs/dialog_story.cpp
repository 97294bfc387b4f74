#include "dialog_story.h"

namespace dialog_test {

void ChooseMenuItem(testing::RadioProgram &radio, int position)
{
    radio.Activate();
    radio.Tap(VK_F10); // the menu bar
    radio.Tap(VK_DOWN); // opens "Option" on its first item
    for (int item = 0; item < position; ++item)
        radio.Tap(VK_DOWN);
    radio.Tap(VK_RETURN);
}

bool CloseMenus(testing::RadioProgram &radio)
{
    for (int level = 0; level < 3; ++level)
        radio.Tap(VK_ESCAPE);
    return testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") == nullptr; },
                              3000);
}

HWND WaitForDialog(const testing::RadioProgram &radio, const char *caption, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    testing::WaitUntil(
        [&] {
            dialog = testing::FindProcessDialog(radio.ProcessId(), caption);
            return dialog != nullptr;
        },
        timeoutMs);
    return dialog;
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    return testing::WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

void ClickControl(testing::RadioProgram &radio, HWND dialog, int id)
{
    radio.ClickScreen(testing::ScreenMiddle(GetDlgItem(dialog, id)));
}

std::string ControlText(HWND dialog, int id)
{
    return testing::WindowText(GetDlgItem(dialog, id));
}

} // namespace dialog_test
