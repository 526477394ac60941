// Copying from the pass-phrase box: the box's own copy commands put the selected
// text on the clipboard marked to stay out of clipboard history and the cloud
// clipboard, and the program's own copies of that text are wiped.
#pragma once
#include <windows.h>

namespace vornelle {

// The registered clipboard formats put beside every copied text, each holding
// the DWORD 0: the first asks clipboard monitors to leave the content alone,
// the other two keep it out of clipboard history and the cloud clipboard.
const int PRIVATE_COPY_FORMAT_COUNT = 3;
extern const char* const PrivateCopyFormatTable[PRIVATE_COPY_FORMAT_COUNT];

// How many boxes may be attached at once (the program attaches one).
const int PRIVATE_COPY_BOX_MAX = 8;

// Makes the box (an ANSI edit control) copy through copy_selection_privately;
// nothing else about it changes. Every other message still reaches the window
// procedure the box had before, which the program keeps in its own memory for
// each box until the box's window is destroyed. A null box, a box already
// attached, or one beyond PRIVATE_COPY_BOX_MAX boxes is left as it is. False
// when the box is not attached afterwards: its copies would then carry none of
// the marks, and the caller must not leave it copying (the main dialog
// disables such a box). Boxes are attached on the thread that owns them, and
// all on one thread.
bool attach_private_copy(HWND box);

// The attached box's window procedure: WM_COPY copies the selection privately,
// and so does the key Ctrl+Insert (under Wine the edit control copies on it
// without a WM_COPY); WM_CUT copies privately and then clears the selection as the box
// would (a read-only box keeps its text, and the platform's own cut copied it
// without a WM_COPY); every other message goes to the box's previous procedure.
LRESULT CALLBACK private_copy_proc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the box's selected characters on the clipboard as CF_UNICODETEXT (the
// platform adds the other text formats) with the formats of
// PrivateCopyFormatTable. The text is read as UTF-16 and cut at the selection's
// character positions, whatever the code page. An empty selection, a clipboard
// that another program holds open, a format the platform will not register,
// or memory running out leaves the clipboard as it was; should the platform
// refuse a format once the clipboard is emptied, it is left without the text.
// True when the text was put.
bool copy_selection_privately(HWND box);

}  // namespace vornelle
