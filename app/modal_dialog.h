// The one router of the radio's modal dialogs: each supplies a handler for
// its opening and one for its commands; everything else is left to the
// dialog manager.
#pragma once

#include <windows.h>

template <INT_PTR (*OnInit)(HWND), INT_PTR (*OnCommand)(HWND, WORD)>
INT_PTR CALLBACK modal_dialog_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInit(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}
