// ControlKind: the number that selects a control's window class and style
// rules, as a record's kind field holds it (0 for a dialog). The toolkit's
// ground floor: any toolkit file may include it, and it includes nothing.
#pragma once
#include <stdint.h>

namespace vornelle {

enum ControlKind : int32_t {
    CustomClass = 0,
    PushButton = 1,
    ThreeStateCheckBox = 2,
    CheckBox = 3,
    GroupFrame = 4,
    Label = 5,
    EtchedFrame = 6,
    RadioButton = 7,
    ScrollBar = 8,
    TextBox = 9,
    Image = 10,
    FittedImage = 11,
    ImageButton = 12,
    FittedImageButton = 13,
    Canvas = 14,
    ComboBox = 15,
    ListBox = 16,
};
const int32_t CONTROL_KIND_COUNT = 17;

}  // namespace vornelle
