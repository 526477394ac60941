// The ControlClassTable: for each control kind 1 to 16 its window class and the
// style it gets by default, the bits always added and the bits always removed
// (for the check and radio buttons: whatever would change the button type).
#include "toolkit/controls.h"

namespace vornelle {

namespace {

// Every control is a visible child.
const uint32_t CHILD = WS_CHILD | WS_VISIBLE;
// The window styles that a control of the check, radio or frame kinds never has:
// popup, frame, scroll bars, system menu, sizing, minimised or maximised.
const uint32_t NOT_A_CONTROL = WS_POPUP | WS_MINIMIZE | WS_MAXIMIZE | WS_CLIPSIBLINGS |
                               WS_CLIPCHILDREN | WS_BORDER | WS_DLGFRAME | WS_VSCROLL | WS_HSCROLL |
                               WS_SYSMENU | WS_THICKFRAME;
// Button bits that would turn a check or radio button into another kind of button.
const uint32_t BUTTON_LOOK = BS_BITMAP | BS_ICON;
// Every bit between the button type and the alignment: BS_LEFTTEXT, BS_ICON,
// BS_BITMAP and the one the platform leaves unnamed.
const uint32_t BUTTON_LOOK_ALL = 0x00F0;
// The button-type bits other than type's own: clearing them leaves type intact.
constexpr uint32_t other_button_types(uint32_t type) { return BS_TYPEMASK & ~type; }

}  // namespace

// clang-format off
const ControlClass ControlClassTable[CONTROL_KIND_COUNT] = {
    // class      default                                 forced                          cleared
    {0, 0, 0, 0},  // 0 CustomClass: caller's own
    {"BUTTON",    CHILD | WS_TABSTOP,                     CHILD,                          0},  // 1 PushButton
    {"BUTTON",    CHILD | WS_TABSTOP | BS_AUTO3STATE,     CHILD | BS_AUTO3STATE,
     NOT_A_CONTROL | BUTTON_LOOK | other_button_types(BS_AUTO3STATE)},                         // 2 ThreeStateCheckBox
    {"BUTTON",    CHILD | WS_TABSTOP | BS_AUTOCHECKBOX,   CHILD | BS_AUTOCHECKBOX,
     NOT_A_CONTROL | BUTTON_LOOK | other_button_types(BS_AUTOCHECKBOX)},                       // 3 CheckBox
    {"BUTTON",    CHILD | BS_GROUPBOX,                    CHILD | BS_GROUPBOX,
     NOT_A_CONTROL | WS_GROUP | WS_TABSTOP | BS_FLAT | BS_NOTIFY | BS_PUSHLIKE | BUTTON_LOOK_ALL |
         other_button_types(BS_GROUPBOX)},                                                     // 4 GroupFrame
    {"STATIC",    CHILD,                                  CHILD,                          0},  // 5 Label
    {"STATIC",    CHILD | SS_ETCHEDFRAME,                 CHILD,                          0},  // 6 EtchedFrame
    {"BUTTON",    CHILD | WS_TABSTOP | BS_AUTORADIOBUTTON, CHILD | BS_AUTORADIOBUTTON,
     NOT_A_CONTROL | BUTTON_LOOK | other_button_types(BS_AUTORADIOBUTTON)},                    // 7 RadioButton
    {"SCROLLBAR", CHILD,                                  CHILD,                          0},  // 8 ScrollBar
    {"EDIT",      CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, CHILD,                 0},  // 9 TextBox
    {"STATIC",    CHILD | SS_BITMAP,                      CHILD | SS_BITMAP,              0},  // 10 Image
    {"STATIC",    CHILD | SS_BITMAP,                      CHILD | SS_BITMAP,              0},  // 11 FittedImage
    {"BUTTON",    CHILD | WS_TABSTOP | BS_BITMAP,         CHILD | BS_BITMAP,              0},  // 12 ImageButton
    {"BUTTON",    CHILD | WS_TABSTOP | BS_BITMAP,         CHILD | BS_BITMAP,              0},  // 13 FittedImageButton
    {"STATIC",    CHILD | SS_OWNERDRAW,                   CHILD | SS_OWNERDRAW,           0},  // 14 Canvas
    {"COMBOBOX",  CHILD | WS_TABSTOP | CBS_DROPDOWN | CBS_SORT, CHILD,                    0},  // 15 ComboBox
    {"LISTBOX",   CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT,
     CHILD | LBS_NOTIFY,                                                                  0},  // 16 ListBox
};
// clang-format on

}  // namespace vornelle
