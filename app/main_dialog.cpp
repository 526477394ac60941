// The main dialog: seeds the runtime's random source, lays out the dialog from
// its table, runs it modally and returns 0 (1, with the error sound, when the
// dialog cannot be made). Pass phrases come from the secure source only (never
// the time-seeded one), and the handler wipes its copy; a press that shows none
// empties the box and plays the error sound.
#include "app/main_dialog.h"

#include "app/passphrase_box_copy.h"
#include "passphrase/passphrase_builder.h"
#include "passphrase/random_source.h"
#include "runtime/main_function.h"
#include "runtime/wipe.h"
#include "toolkit/control_text.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/modal.h"
#include "vornelle_version.h"

namespace vornelle {

const char MAIN_DIALOG_TITLE[] = "Vornelle   v " VORNELLE_VERSION_TEXT;
const char CREDIT_NOTICE[] = "Made by the Vornelle developers";

HWND mainDialog = 0;
RandomFill passphraseFill = platform_random_fill;

// The introduction text, in the pieces it is put together from.
struct TextPiece {
    const char* chars;
    uint32_t length;
};
#define VORNELLE_PIECE(literal) \
    { literal, sizeof literal - 1 }
static const TextPiece IntroPieceTable[] = {
    VORNELLE_PIECE("This will generate a "),
    VORNELLE_PIECE("\""),
    VORNELLE_PIECE("safe"),
    VORNELLE_PIECE("\""),
    VORNELLE_PIECE(" WPA Pass Phrase, safe meaning that it contains only A-Z, a-z, and 0-9, so it "
                   "should work on all makes of hardware.  It generates a 63 character passphrase, "
                   "for an "),
    VORNELLE_PIECE("extraordinary level of security.  You may select and copy directly to the "
                   "clipboard."),
};
#undef VORNELLE_PIECE

// The box's style: bordered, reached with Tab, read-only.
static const uint32_t PASSPHRASE_BOX_STYLE = WS_BORDER | WS_TABSTOP | ES_READONLY;

// The controls in the order they are added, two lines a row: what the control
// is, then where it goes and how it looks.
// clang-format off
const ControlRow MainDialogControlTable[MAIN_DIALOG_CONTROL_COUNT] = {
    // id                kind        className  text                                  items
    //   x    y    width  height  style                 extendedStyle     callback
    {ID_INTRO_LABEL,     Label,      0,         0,                                    0,
         10,  10,  460,   40,     0,                    0,                0},
    {ID_PASSPHRASE_BOX,  TextBox,    0,         "",                                   0,
         10,  50,  460,   22,     PASSPHRASE_BOX_STYLE, WS_EX_CLIENTEDGE, 0},
    {ID_GENERATE_BUTTON, PushButton, 0,         "Generate WPA-PSK (Pass phrase) Now", 0,
         130, 80,  220,   25,     0,                    0,                generate_handler},
    {ID_CREDIT_LABEL,    Label,      0,         CREDIT_NOTICE,                        0,
         300, 110, 220,   33,     0,                    0,                0},
};
// clang-format on

void build_intro_text(ActivationRecord* activation, Text* intro) {
    Text piece = {0};
    text_assign(activation, intro, "", 0);
    for (uint32_t i = 0; i < sizeof IntroPieceTable / sizeof IntroPieceTable[0]; ++i) {
        text_assign(activation, &piece, IntroPieceTable[i].chars, IntroPieceTable[i].length);
        text_concat(activation, intro, *intro, piece);
    }
    text_free(&piece);
}

LONG_PTR generate_handler(HWND, UINT, WPARAM, LPARAM) {
    // The box is the main dialog's, whichever window the event names.
    HWND dialog = mainDialog;
    // Both live in this frame, so nothing the handler calls afterwards reuses
    // their memory before they are wiped.
    SecureSource source;
    char passphrase[PASSPHRASE_LENGTH + 1];
    bool shown = build_secure_passphrase(passphraseFill, &source, passphrase) &&
                 set_control_text(dialog, ID_PASSPHRASE_BOX, passphrase);
    if (!shown) {
        // No pass phrase made, or the box refused it: the previous one must not
        // stay on show as if it were new, and the error sound tells that the
        // press failed (the program shows no other window).
        set_control_text(dialog, ID_PASSPHRASE_BOX, "");
        MessageBeep(MB_ICONERROR);
    }
    wipe_bytes(passphrase, sizeof passphrase);
    return 0;
}

HWND build_main_dialog() {
    HWND dialog = new_dialog(DIALOG_PIXELS, 0, MAIN_DIALOG_TITLE, DIALOG_CENTRE, DIALOG_CENTRE,
                             MAIN_DIALOG_WIDTH, MAIN_DIALOG_HEIGHT, MAIN_DIALOG_STYLE, 0);
    if (!dialog) return 0;

    // The label copies its text when it is made, so the introduction lives
    // only while the controls are added.
    ActivationRecord activation = {0};
    Text intro = {0};
    build_intro_text(&activation, &intro);
    ControlRow rows[MAIN_DIALOG_CONTROL_COUNT];
    for (int i = 0; i < MAIN_DIALOG_CONTROL_COUNT; ++i) {
        rows[i] = MainDialogControlTable[i];
        if (!rows[i].text) rows[i].text = text_chars(intro);
    }
    add_controls(dialog, rows, MAIN_DIALOG_CONTROL_COUNT);
    text_free(&intro);

    // The box's copies carry the clipboard marks. A box that cannot copy so
    // copies nothing: disabled, it still shows the pass phrase, but takes no
    // focus, selection, key or menu, so no copy without the marks leaves it.
    HWND box = control_handle(dialog, ID_PASSPHRASE_BOX);
    if (!attach_private_copy(box)) EnableWindow(box, FALSE);
    return dialog;
}

int32_t application_main(HINSTANCE, HINSTANCE, const char*, int32_t) {
    // The time-seeded generator never makes a pass phrase (those come from the
    // secure source), but it is the runtime's general source of numbers: it is
    // seeded once, before anything can draw from it, so that no run draws the
    // fixed sequence of its unseeded state.
    seed_random_source(time_of_day());
    mainDialog = build_main_dialog();
    // A program that shows nothing must not look as if it had run: the error
    // sound, and an exit code that says it failed.
    if (!mainDialog) MessageBeep(MB_ICONERROR);
    focus_control(mainDialog, ID_GENERATE_BUTTON);
    show_dialog_modal(mainDialog, 0, 0);
    return mainDialog ? MAIN_EXIT_CLOSED : MAIN_EXIT_NO_DIALOG;
}

}  // namespace vornelle
