// The main dialog: the main function, the layout table of its one dialog and
// the button's generate handler, which fills the read-only text box with a new
// pass phrase from the platform's cryptographic generator on every press.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "passphrase/secure_source.h"
#include "runtime/runtime_error.h"
#include "runtime/text.h"
#include "toolkit/controls.h"

namespace vornelle {

const int32_t ID_PASSPHRASE_BOX = 101;
const int32_t ID_GENERATE_BUTTON = 102;
const int32_t ID_INTRO_LABEL = 111;
const int32_t ID_CREDIT_LABEL = 211;

// "Vornelle", three spaces, "v " and the version (the file VERSION).
extern const char MAIN_DIALOG_TITLE[];
const int32_t MAIN_DIALOG_WIDTH = 480;  // client area, pixels
const int32_t MAIN_DIALOG_HEIGHT = 165;
const uint32_t MAIN_DIALOG_STYLE = WS_SYSMENU | WS_MINIMIZEBOX;

extern const char CREDIT_NOTICE[];
const uint32_t INTRO_TEXT_LENGTH = 275;

// The dialog's controls, in the order they are added; the introduction label's
// text is null here and is put together when the dialog is built.
const int MAIN_DIALOG_CONTROL_COUNT = 4;
extern const ControlRow MainDialogControlTable[MAIN_DIALOG_CONTROL_COUNT];

// The main function's result, the process exit code: 0 once the user has
// closed the dialog, 1 when the dialog could not be made.
const int32_t MAIN_EXIT_CLOSED = 0;
const int32_t MAIN_EXIT_NO_DIALOG = 1;

// The main dialog's window handle: 0 until the main function makes it, and 0
// again when it could not. The generate handler fills this dialog's box.
extern HWND mainDialog;

// Where the generate handler takes its random bytes: the platform's generator
// (a test may swap in a failing or fixed one).
extern RandomFill passphraseFill;

// The introduction text, put together piece by piece into intro.
void build_intro_text(ActivationRecord* activation, Text* intro);

// The main dialog, hidden, with every control of MainDialogControlTable (each
// added whatever became of the ones before it); null when the dialog itself
// cannot be made. Its box copies through attach_private_copy, or, when it
// cannot be attached, is disabled and offers no copy at all.
HWND build_main_dialog();

// The button's callback: a new pass phrase into the text box of mainDialog
// (not of the window it is passed); when none can be made, or the box refuses
// it, the box is emptied and the platform's error sound plays (MessageBeep with
// MB_ICONERROR). Always returns 0.
LONG_PTR generate_handler(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vornelle
