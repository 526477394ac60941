// The ControlClassTable: for each control kind 1 to 16 its window class and the
// style it gets by default, the bits always added and the bits always removed
// (for the check and radio buttons: whatever would change the button type).
#include "toolkit/controls.h"

namespace vornelle {

const ControlClass ControlClassTable[CONTROL_KIND_COUNT] = {
    // class        default     forced      cleared
    {0, 0, 0, 0},                                            // 0 CustomClass: caller's own
    {"BUTTON", 0x50010000, 0x50000000, 0x00000000},          // 1 PushButton
    {"BUTTON", 0x50010006, 0x50000006, 0xA7FC00C9},          // 2 ThreeStateCheckBox
    {"BUTTON", 0x50010003, 0x50000003, 0xA7FC00CC},          // 3 CheckBox
    {"BUTTON", 0x50000007, 0x50000007, 0xA7FFD0F8},          // 4 GroupFrame
    {"STATIC", 0x50000000, 0x50000000, 0x00000000},          // 5 Label
    {"STATIC", 0x50000012, 0x50000000, 0x00000000},          // 6 EtchedFrame
    {"BUTTON", 0x50010009, 0x50000009, 0xA7FC00C6},          // 7 RadioButton
    {"SCROLLBAR", 0x50000000, 0x50000000, 0x00000000},       // 8 ScrollBar
    {"EDIT", 0x50810080, 0x50000000, 0x00000000},            // 9 TextBox
    {"STATIC", 0x5000000E, 0x5000000E, 0x00000000},          // 10 Image
    {"STATIC", 0x5000000E, 0x5000000E, 0x00000000},          // 11 FittedImage
    {"BUTTON", 0x50010080, 0x50000080, 0x00000000},          // 12 ImageButton
    {"BUTTON", 0x50010080, 0x50000080, 0x00000000},          // 13 FittedImageButton
    {"STATIC", 0x5000000D, 0x5000000D, 0x00000000},          // 14 Canvas
    {"COMBOBOX", 0x50010102, 0x50000000, 0x00000000},        // 15 ComboBox
    {"LISTBOX", 0x50A10003, 0x50000001, 0x00000000},         // 16 ListBox
};

}  // namespace vornelle
