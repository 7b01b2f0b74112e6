// The console window's control table: the window Step1, its 127 controls and
// the control instance OPOSLineDisplay1, one row each.
//
// Positions and sizes are in twips (1/1440 inch), measured from the top-left
// corner of the control's container: the window's client area, or a frame's
// outer top-left corner. Rows are in creation order, containers before what
// they hold. The table is constant data, written once and used by the window
// front ends and by the tests alike; safe from any thread. No Qt here.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace app {

enum class Kind { CommandButton, Label, TextBox, OptionButton, Frame, LineDisplay };

// Tab index of a row that has no place in the tab order (the control instance).
inline constexpr int noTabIndex = -1;

struct Control {
    std::string_view name;  // control name, e.g. "Command14"
    Kind kind;
    std::string_view container;  // "Step1" for the window, else a frame's name
    std::string_view caption;    // caption or initial text; empty for none
    int left;                    // twips from the container's top-left corner
    int top;
    int width;  // twips; 0 for the control instance, which has no size
    int height;
    int tabIndex;   // 0 first, unique; noTabIndex for the control instance
    bool selected;  // option buttons: selected when the window opens
};

// The window itself.
struct Window {
    std::string_view name;
    std::string_view title;
    int clientWidth;  // twips; the client area has a fixed size
    int clientHeight;
    int startLeft;  // twips from the screen's top-left corner to the client area's
    int startTop;
};

inline constexpr Window window{"Step1", ".", 14190, 11355, 3045, 3330};

// Twips in one pixel at 96 dots per inch.
inline constexpr int twipsPerPixelAt96Dpi = 15;

// Every control of the window and the control instance, 128 rows.
inline constexpr std::array<Control, 128> controls{{
    {"Option1", Kind::OptionButton, "Step1", "DM-D202", 360, 120, 1335, 255, 1, false},
    {"Frame4", Kind::Frame, "Step1", "Set Properties", 4800, 120, 3015, 7815, 32, false},
    {"Frame3", Kind::Frame, "Step1", "Get Properties", 7920, 120, 6135, 11055, 19, false},
    {"Option2", Kind::OptionButton, "Step1", "TQN730", 360, 360, 1335, 255, 2, true},
    {"Label1", Kind::Label, "Step1", "Label1", 2280, 360, 2295, 255, 4, false},
    {"Command2", Kind::CommandButton, "Step1", "Open", 360, 720, 1515, 450, 3, false},
    {"Command20", Kind::CommandButton, "Step1", "Destory Window", 2040, 720, 1515, 450, 54, false},
    {"Command3", Kind::CommandButton, "Step1", "Claim", 360, 1320, 1515, 450, 5, false},
    {"Command4", Kind::CommandButton, "Step1", "Enable", 360, 1920, 1515, 450, 6, false},
    {"Command1", Kind::CommandButton, "Step1", "Release", 360, 2520, 1455, 465, 18, false},
    {"cmdExit", Kind::CommandButton, "Step1", "Close", 360, 3120, 1455, 465, 0, false},
    {"Command5", Kind::CommandButton, "Step1", "Clear Text", 360, 3720, 1515, 450, 7, false},
    {"Command14", Kind::CommandButton, "Step1", "Check Health (1)", 360, 4320, 1515, 450, 51, false},
    {"Command17", Kind::CommandButton, "Step1", "Check Health (2)", 360, 4920, 1515, 450, 52, false},
    {"Command18", Kind::CommandButton, "Step1", "Check Health (3)", 360, 5520, 1515, 450, 53, false},
    {"Frame2", Kind::Frame, "Step1", "Disp Text At", 360, 6120, 4215, 1095, 15, false},
    {"Label36", Kind::Label, "Step1", "Unknown", 12720, 6960, 1215, 255, 104, false},
    {"Frame1", Kind::Frame, "Step1", "Disp Text At", 360, 7320, 4215, 1455, 8, false},
    {"OPOSLineDisplay1", Kind::LineDisplay, "Step1", "", 3360, 8880, 0, 0, noTabIndex, false},
    {"Command7", Kind::CommandButton, "Frame2", "Disp Text", 240, 240, 1455, 375, 17, false},
    {"Text4", Kind::TextBox, "Frame2", "Disp Text Test", 1920, 240, 2055, 375, 16, false},
    {"Option3", Kind::OptionButton, "Frame2", "Normal", 120, 720, 975, 255, 117, true},
    {"Option4", Kind::OptionButton, "Frame2", "Blink", 960, 720, 735, 255, 118, false},
    {"Option5", Kind::OptionButton, "Frame2", "Reverse", 1680, 720, 975, 255, 119, false},
    {"Option6", Kind::OptionButton, "Frame2", "Blink Reverse", 2640, 720, 1455, 255, 120, false},
    {"Command6", Kind::CommandButton, "Frame1", "Disp Text At", 240, 240, 1455, 375, 13, false},
    {"Text3", Kind::TextBox, "Frame1", "Disp Text At Test", 1920, 240, 2055, 375, 14, false},
    {"Label2", Kind::Label, "Frame1", "Raw", 240, 720, 495, 255, 9, false},
    {"Text1", Kind::TextBox, "Frame1", "1", 720, 720, 615, 285, 11, false},
    {"Label3", Kind::Label, "Frame1", "Col", 1440, 720, 375, 255, 10, false},
    {"Text2", Kind::TextBox, "Frame1", "5", 1920, 720, 735, 285, 12, false},
    {"Option7", Kind::OptionButton, "Frame1", "Normal", 120, 1080, 975, 255, 121, true},
    {"Option8", Kind::OptionButton, "Frame1", "Blink", 960, 1080, 735, 255, 122, false},
    {"Option9", Kind::OptionButton, "Frame1", "Reverse", 1680, 1080, 975, 255, 123, false},
    {"Option10", Kind::OptionButton, "Frame1", "Blink Reverse", 2640, 1080, 1455, 255, 124, false},
    {"Command19", Kind::CommandButton, "Frame4", "Toggle Cursor Update", 120, 240, 1695, 375, 35, false},
    {"Label15", Kind::Label, "Frame4", "Unknown", 1920, 360, 975, 255, 36, false},
    {"Command15", Kind::CommandButton, "Frame4", "Inter Character Wait", 120, 720, 1695, 375, 33, false},
    {"Text6", Kind::TextBox, "Frame4", "100", 1920, 720, 735, 375, 37, false},
    {"Command22", Kind::CommandButton, "Frame4", "Marquee Format", 120, 1200, 1695, 375, 40, false},
    {"Text7", Kind::TextBox, "Frame4", "0", 1920, 1200, 735, 375, 41, false},
    {"Command16", Kind::CommandButton, "Frame4", "Marquee Repeat Wait", 120, 1680, 1695, 495, 34, false},
    {"Text8", Kind::TextBox, "Frame4", "0", 1920, 1680, 735, 375, 48, false},
    {"Command33", Kind::CommandButton, "Frame4", "Toggle Power Notify", 120, 2280, 1695, 375, 67, false},
    {"Label22", Kind::Label, "Frame4", "Label22", 1920, 2400, 975, 255, 68, false},
    {"Command37", Kind::CommandButton, "Frame4", "Cursor Row", 120, 2760, 1695, 375, 76, false},
    {"Text5", Kind::TextBox, "Frame4", "0", 1920, 2760, 735, 375, 77, false},
    {"Command38", Kind::CommandButton, "Frame4", "Cursor Column", 120, 3240, 1695, 375, 78, false},
    {"Text9", Kind::TextBox, "Frame4", "0", 1920, 3240, 735, 375, 79, false},
    {"Command39", Kind::CommandButton, "Frame4", "Cursor Type", 120, 3720, 1695, 375, 80, false},
    {"Text10", Kind::TextBox, "Frame4", "0", 1920, 3720, 735, 375, 81, false},
    {"Command43", Kind::CommandButton, "Frame4", "Device Brightness", 120, 4200, 1695, 375, 89, false},
    {"Text11", Kind::TextBox, "Frame4", "0", 1920, 4200, 735, 375, 88, false},
    {"Command56", Kind::CommandButton, "Frame4", "Cursor Update", 120, 4680, 1695, 375, 115, false},
    {"Label42", Kind::Label, "Frame4", "Label22", 1920, 4800, 975, 255, 116, false},
    {"Frame5", Kind::Frame, "Frame3", "", 3000, 120, 135, 10815, 71, false},
    {"Command8", Kind::CommandButton, "Frame3", "Device Enabled", 120, 240, 1455, 375, 20, false},
    {"Command57", Kind::CommandButton, "Frame3", "CapReverse", 3240, 240, 1455, 375, 125, false},
    {"Label4", Kind::Label, "Frame3", "Unknown", 1680, 360, 975, 255, 21, false},
    {"Label43", Kind::Label, "Frame3", "Unknown", 4800, 360, 975, 255, 126, false},
    {"Command9", Kind::CommandButton, "Frame3", "Colums", 120, 720, 1455, 375, 22, false},
    {"Command35", Kind::CommandButton, "Frame3", "CapDescriptors", 3240, 720, 1455, 375, 72, false},
    {"Label5", Kind::Label, "Frame3", "Unknown", 1680, 840, 975, 255, 23, false},
    {"Label24", Kind::Label, "Frame3", "Unknown", 4800, 840, 975, 255, 73, false},
    {"Command12", Kind::CommandButton, "Frame3", "Rows", 120, 1200, 1455, 375, 28, false},
    {"Command36", Kind::CommandButton, "Frame3", "Device Descriptor", 3240, 1200, 1455, 375, 74, false},
    {"Label8", Kind::Label, "Frame3", "Unknown", 1680, 1320, 975, 255, 29, false},
    {"Label25", Kind::Label, "Frame3", "Unknown", 4800, 1320, 975, 255, 75, false},
    {"Command10", Kind::CommandButton, "Frame3", "CursorColumn", 120, 1680, 1455, 375, 24, false},
    {"Command29", Kind::CommandButton, "Frame3", "Power State", 3240, 1680, 1455, 375, 59, false},
    {"Label6", Kind::Label, "Frame3", "Unknown", 1680, 1800, 975, 255, 25, false},
    {"Label13", Kind::Label, "Frame3", "Unknown", 4800, 1800, 1215, 255, 60, false},
    {"Command11", Kind::CommandButton, "Frame3", "Cursor Row", 120, 2160, 1455, 375, 26, false},
    {"Command31", Kind::CommandButton, "Frame3", "Power Notified", 3240, 2160, 1455, 375, 63, false},
    {"Label7", Kind::Label, "Frame3", "Unknown", 1680, 2280, 975, 255, 27, false},
    {"Label20", Kind::Label, "Frame3", "Unknown", 4800, 2280, 1215, 255, 64, false},
    {"Command13", Kind::CommandButton, "Frame3", "Cursor Update", 120, 2640, 1455, 375, 30, false},
    {"Command44", Kind::CommandButton, "Frame3", "Cap Brightness", 3240, 2640, 1455, 375, 90, false},
    {"Label9", Kind::Label, "Frame3", "Unknown", 1680, 2760, 975, 255, 31, false},
    {"Label29", Kind::Label, "Frame3", "Unknown", 4800, 2760, 1215, 255, 91, false},
    {"Command41", Kind::CommandButton, "Frame3", "Cap Cursor Type", 120, 3120, 1455, 375, 84, false},
    {"Command42", Kind::CommandButton, "Frame3", "Device Brightness", 3240, 3120, 1455, 375, 86, false},
    {"Label27", Kind::Label, "Frame3", "Unknown", 1680, 3240, 975, 255, 85, false},
    {"Label28", Kind::Label, "Frame3", "Unknown", 4800, 3240, 1215, 255, 87, false},
    {"Command40", Kind::CommandButton, "Frame3", "Cursor Type", 120, 3600, 1455, 375, 82, false},
    {"Command46", Kind::CommandButton, "Frame3", "Cap Glyphlist", 3240, 3600, 1455, 375, 94, false},
    {"Label26", Kind::Label, "Frame3", "Unknown", 1680, 3720, 975, 255, 83, false},
    {"Label31", Kind::Label, "Frame3", "Unknown", 4800, 3720, 1215, 255, 95, false},
    {"Command21", Kind::CommandButton, "Frame3", "Inter Character Wait", 120, 4080, 1455, 495, 38, false},
    {"Command45", Kind::CommandButton, "Frame3", "Custom Glyphlist", 3240, 4080, 1455, 375, 92, false},
    {"Label11", Kind::Label, "Frame3", "Unknown", 1680, 4200, 975, 255, 39, false},
    {"Label30", Kind::Label, "Frame3", "Unknown", 4800, 4200, 1215, 255, 93, false},
    {"Command47", Kind::CommandButton, "Frame3", "CharacterList", 3240, 4560, 1455, 375, 96, false},
    {"Command23", Kind::CommandButton, "Frame3", "Cap H Marquee", 120, 4680, 1455, 375, 42, false},
    {"Label16", Kind::Label, "Frame3", "Unknown", 1680, 4800, 975, 255, 43, false},
    {"Label32", Kind::Label, "Frame3", "Unknown", 3240, 5040, 2655, 255, 97, false},
    {"Command24", Kind::CommandButton, "Frame3", "Cap V Marquee", 120, 5160, 1455, 375, 44, false},
    {"Label17", Kind::Label, "Frame3", "Unknown", 1680, 5280, 975, 255, 45, false},
    {"Command48", Kind::CommandButton, "Frame3", "Claimed", 3240, 5280, 1455, 375, 98, false},
    {"Label33", Kind::Label, "Frame3", "Unknown", 4800, 5400, 1215, 255, 99, false},
    {"Command25", Kind::CommandButton, "Frame3", "Marquee Format", 120, 5640, 1455, 375, 46, false},
    {"Label18", Kind::Label, "Frame3", "Unknown", 1680, 5760, 975, 255, 47, false},
    {"Command49", Kind::CommandButton, "Frame3", "Result Code", 3240, 5760, 1455, 375, 100, false},
    {"Label34", Kind::Label, "Frame3", "Unknown", 4800, 5880, 1215, 255, 101, false},
    {"Command26", Kind::CommandButton, "Frame3", "Marquee Repeat Wait", 120, 6120, 1455, 495, 49, false},
    {"Label19", Kind::Label, "Frame3", "Unknown", 1680, 6240, 975, 255, 50, false},
    {"Command50", Kind::CommandButton, "Frame3", "Result Code Ext", 3240, 6240, 1455, 375, 102, false},
    {"Label35", Kind::Label, "Frame3", "Unknown", 4800, 6360, 1215, 255, 103, false},
    {"Command27", Kind::CommandButton, "Frame3", "Check Health Text", 120, 6720, 1455, 375, 55, false},
    {"Command51", Kind::CommandButton, "Frame3", "Freeze Event", 3240, 6720, 1455, 375, 105, false},
    {"Label37", Kind::Label, "Frame3", "Unknown", 4800, 6840, 1215, 255, 106, false},
    {"Label10", Kind::Label, "Frame3", "Unknown", 120, 7200, 2775, 255, 56, false},
    {"Command52", Kind::CommandButton, "Frame3", "State", 3240, 7200, 1455, 375, 107, false},
    {"Label38", Kind::Label, "Frame3", "Unknown", 4800, 7320, 1215, 255, 108, false},
    {"Command28", Kind::CommandButton, "Frame3", "CharacterSet", 120, 7560, 1455, 375, 57, false},
    {"Label12", Kind::Label, "Frame3", "Unknown", 1680, 7680, 1215, 255, 58, false},
    {"Command54", Kind::CommandButton, "Frame3", "Binary Conv", 3240, 7680, 1455, 375, 111, false},
    {"Label40", Kind::Label, "Frame3", "Unknown", 4800, 7800, 1215, 255, 112, false},
    {"Command32", Kind::CommandButton, "Frame3", "Cap Blink Rate", 120, 8040, 1455, 375, 65, false},
    {"Label21", Kind::Label, "Frame3", "Unknown", 1680, 8160, 1215, 255, 66, false},
    {"Command53", Kind::CommandButton, "Frame3", "Current Window", 3240, 8160, 1455, 375, 109, false},
    {"Label39", Kind::Label, "Frame3", "Unknown", 4800, 8280, 1215, 255, 110, false},
    {"Command34", Kind::CommandButton, "Frame3", "Cap Blink", 120, 8520, 1455, 375, 69, false},
    {"Label23", Kind::Label, "Frame3", "Unknown", 1680, 8640, 1215, 255, 70, false},
    {"Command55", Kind::CommandButton, "Frame3", "Device Window", 3240, 8640, 1455, 375, 113, false},
    {"Label41", Kind::Label, "Frame3", "Unknown", 4800, 8760, 1215, 255, 114, false},
    {"Command30", Kind::CommandButton, "Frame3", "Cap Power Report", 120, 9000, 1455, 375, 61, false},
    {"Label14", Kind::Label, "Frame3", "Unknown", 1680, 9120, 1215, 255, 62, false},
}};

// The row of the named control, or nullptr when there is none.
const Control* findControl(std::string_view name);

// The number of rows of one kind.
std::size_t countOf(Kind kind);

// A readable name of a kind ("command button", "label", ...).
std::string_view kindName(Kind kind);

}  // namespace app
