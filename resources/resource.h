#pragma once
// Resource and command ids shared by the resource script and the code.

#define IDR_ACCELERATORS 109
#define IDD_PREPARING 129
#define IDR_CONTEXT_MENU 310

// The usual edit-command ids, so the context menu and the keys agree.
#define IDM_COPY 57634
#define IDM_SELECT_ALL 57642
