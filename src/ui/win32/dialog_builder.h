// Windows dialogs built at run time from the layout tables, so that the
// Win32 editor shows the same windows as the other front ends.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/dialog_template.h"

namespace varnel::win32ui {

// The trackbar's window class (the common controls' TRACKBAR_CLASSW).
inline constexpr const wchar_t* kTrackbarClass = L"msctls_trackbar32";

// An in-memory extended dialog template (DLGTEMPLATEEX) of the layout, for
// DialogBoxIndirectParamW and CreateDialogIndirectParamW: positions in
// dialog units of the font the layout names, each control's class and
// styles, its tab stop, initial state and caption. Every dialog is a
// centred modal frame with a caption and a system menu; `extraStyle` adds
// window styles (WS_MINIMIZEBOX for a main window). Trackbars need the
// common controls' bar classes registered (InitCommonControlsEx with
// ICC_BAR_CLASSES) before the dialog is created.
std::vector<WORD> buildDialogTemplate(const ui::DialogTemplate& layout, DWORD extraStyle = 0);

// Puts the fixed list contents of the layout into the dialog's lists, with
// nothing selected: a template cannot carry them. Call it on WM_INITDIALOG.
void addFixedItems(HWND dialog, const ui::DialogTemplate& layout);

// Gives the focus to the control the layout starts with. True when it did:
// then WM_INITDIALOG must return FALSE, or the dialog takes the focus back
// for its first tab stop.
bool focusInitialControl(HWND dialog, const ui::DialogTemplate& layout);

// Whether the message is Enter pressed where the layout's rules ignore it
// (a closed drop-down list, a trackbar, a read-only field); the dialog
// would press its default button, so the caller drops it.
bool isIgnoredEnter(HWND dialog, const MSG& message, const ui::DialogTemplate& layout);

}  // namespace varnel::win32ui
