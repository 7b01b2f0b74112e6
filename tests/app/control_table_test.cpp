// The control table against the window's tables as written down for the
// console: every row, field by field, in order. The expected rows below are
// kept as a separate transcription, so a slip in either copy shows up here.
#include "app/ControlTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// "in <container>" starts a table; each row is
// | `name` | kind | caption or initial text | left | top | width | height | tab index |
constexpr const char* expectedTables = R"table(
in Step1
| `Option1` | option button | "DM-D202" | 360 | 120 | 1335 | 255 | 1 |
| `Frame4` | frame | "Set Properties" | 4800 | 120 | 3015 | 7815 | 32 |
| `Frame3` | frame | "Get Properties" | 7920 | 120 | 6135 | 11055 | 19 |
| `Option2` | option button | "TQN730" (selected) | 360 | 360 | 1335 | 255 | 2 |
| `Label1` | label | "Label1" | 2280 | 360 | 2295 | 255 | 4 |
| `Command2` | command button | "Open" | 360 | 720 | 1515 | 450 | 3 |
| `Command20` | command button | "Destory Window" | 2040 | 720 | 1515 | 450 | 54 |
| `Command3` | command button | "Claim" | 360 | 1320 | 1515 | 450 | 5 |
| `Command4` | command button | "Enable" | 360 | 1920 | 1515 | 450 | 6 |
| `Command1` | command button | "Release" | 360 | 2520 | 1455 | 465 | 18 |
| `cmdExit` | command button | "Close" | 360 | 3120 | 1455 | 465 | 0 |
| `Command5` | command button | "Clear Text" | 360 | 3720 | 1515 | 450 | 7 |
| `Command14` | command button | "Check Health (1)" | 360 | 4320 | 1515 | 450 | 51 |
| `Command17` | command button | "Check Health (2)" | 360 | 4920 | 1515 | 450 | 52 |
| `Command18` | command button | "Check Health (3)" | 360 | 5520 | 1515 | 450 | 53 |
| `Frame2` | frame | "Disp Text At" | 360 | 6120 | 4215 | 1095 | 15 |
| `Label36` | label | "Unknown" | 12720 | 6960 | 1215 | 255 | 104 |
| `Frame1` | frame | "Disp Text At" | 360 | 7320 | 4215 | 1455 | 8 |
| `OPOSLineDisplay1` | OPOS Line Display control | (none) | 3360 | 8880 | — | — | — |
in Frame2
| `Command7` | command button | "Disp Text" | 240 | 240 | 1455 | 375 | 17 |
| `Text4` | text box | "Disp Text Test" | 1920 | 240 | 2055 | 375 | 16 |
| `Option3` | option button | "Normal" (selected) | 120 | 720 | 975 | 255 | 117 |
| `Option4` | option button | "Blink" | 960 | 720 | 735 | 255 | 118 |
| `Option5` | option button | "Reverse" | 1680 | 720 | 975 | 255 | 119 |
| `Option6` | option button | "Blink Reverse" | 2640 | 720 | 1455 | 255 | 120 |
in Frame1
| `Command6` | command button | "Disp Text At" | 240 | 240 | 1455 | 375 | 13 |
| `Text3` | text box | "Disp Text At Test" | 1920 | 240 | 2055 | 375 | 14 |
| `Label2` | label | "Raw" | 240 | 720 | 495 | 255 | 9 |
| `Text1` | text box | "1" | 720 | 720 | 615 | 285 | 11 |
| `Label3` | label | "Col" | 1440 | 720 | 375 | 255 | 10 |
| `Text2` | text box | "5" | 1920 | 720 | 735 | 285 | 12 |
| `Option7` | option button | "Normal" (selected) | 120 | 1080 | 975 | 255 | 121 |
| `Option8` | option button | "Blink" | 960 | 1080 | 735 | 255 | 122 |
| `Option9` | option button | "Reverse" | 1680 | 1080 | 975 | 255 | 123 |
| `Option10` | option button | "Blink Reverse" | 2640 | 1080 | 1455 | 255 | 124 |
in Frame4
| `Command19` | command button | "Toggle Cursor Update" | 120 | 240 | 1695 | 375 | 35 |
| `Label15` | label | "Unknown" | 1920 | 360 | 975 | 255 | 36 |
| `Command15` | command button | "Inter Character Wait" | 120 | 720 | 1695 | 375 | 33 |
| `Text6` | text box | "100" | 1920 | 720 | 735 | 375 | 37 |
| `Command22` | command button | "Marquee Format" | 120 | 1200 | 1695 | 375 | 40 |
| `Text7` | text box | "0" | 1920 | 1200 | 735 | 375 | 41 |
| `Command16` | command button | "Marquee Repeat Wait" | 120 | 1680 | 1695 | 495 | 34 |
| `Text8` | text box | "0" | 1920 | 1680 | 735 | 375 | 48 |
| `Command33` | command button | "Toggle Power Notify" | 120 | 2280 | 1695 | 375 | 67 |
| `Label22` | label | "Label22" | 1920 | 2400 | 975 | 255 | 68 |
| `Command37` | command button | "Cursor Row" | 120 | 2760 | 1695 | 375 | 76 |
| `Text5` | text box | "0" | 1920 | 2760 | 735 | 375 | 77 |
| `Command38` | command button | "Cursor Column" | 120 | 3240 | 1695 | 375 | 78 |
| `Text9` | text box | "0" | 1920 | 3240 | 735 | 375 | 79 |
| `Command39` | command button | "Cursor Type" | 120 | 3720 | 1695 | 375 | 80 |
| `Text10` | text box | "0" | 1920 | 3720 | 735 | 375 | 81 |
| `Command43` | command button | "Device Brightness" | 120 | 4200 | 1695 | 375 | 89 |
| `Text11` | text box | "0" | 1920 | 4200 | 735 | 375 | 88 |
| `Command56` | command button | "Cursor Update" | 120 | 4680 | 1695 | 375 | 115 |
| `Label42` | label | "Label22" | 1920 | 4800 | 975 | 255 | 116 |
in Frame3
| `Frame5` | frame | (none) | 3000 | 120 | 135 | 10815 | 71 |
| `Command8` | command button | "Device Enabled" | 120 | 240 | 1455 | 375 | 20 |
| `Command57` | command button | "CapReverse" | 3240 | 240 | 1455 | 375 | 125 |
| `Label4` | label | "Unknown" | 1680 | 360 | 975 | 255 | 21 |
| `Label43` | label | "Unknown" | 4800 | 360 | 975 | 255 | 126 |
| `Command9` | command button | "Colums" | 120 | 720 | 1455 | 375 | 22 |
| `Command35` | command button | "CapDescriptors" | 3240 | 720 | 1455 | 375 | 72 |
| `Label5` | label | "Unknown" | 1680 | 840 | 975 | 255 | 23 |
| `Label24` | label | "Unknown" | 4800 | 840 | 975 | 255 | 73 |
| `Command12` | command button | "Rows" | 120 | 1200 | 1455 | 375 | 28 |
| `Command36` | command button | "Device Descriptor" | 3240 | 1200 | 1455 | 375 | 74 |
| `Label8` | label | "Unknown" | 1680 | 1320 | 975 | 255 | 29 |
| `Label25` | label | "Unknown" | 4800 | 1320 | 975 | 255 | 75 |
| `Command10` | command button | "CursorColumn" | 120 | 1680 | 1455 | 375 | 24 |
| `Command29` | command button | "Power State" | 3240 | 1680 | 1455 | 375 | 59 |
| `Label6` | label | "Unknown" | 1680 | 1800 | 975 | 255 | 25 |
| `Label13` | label | "Unknown" | 4800 | 1800 | 1215 | 255 | 60 |
| `Command11` | command button | "Cursor Row" | 120 | 2160 | 1455 | 375 | 26 |
| `Command31` | command button | "Power Notified" | 3240 | 2160 | 1455 | 375 | 63 |
| `Label7` | label | "Unknown" | 1680 | 2280 | 975 | 255 | 27 |
| `Label20` | label | "Unknown" | 4800 | 2280 | 1215 | 255 | 64 |
| `Command13` | command button | "Cursor Update" | 120 | 2640 | 1455 | 375 | 30 |
| `Command44` | command button | "Cap Brightness" | 3240 | 2640 | 1455 | 375 | 90 |
| `Label9` | label | "Unknown" | 1680 | 2760 | 975 | 255 | 31 |
| `Label29` | label | "Unknown" | 4800 | 2760 | 1215 | 255 | 91 |
| `Command41` | command button | "Cap Cursor Type" | 120 | 3120 | 1455 | 375 | 84 |
| `Command42` | command button | "Device Brightness" | 3240 | 3120 | 1455 | 375 | 86 |
| `Label27` | label | "Unknown" | 1680 | 3240 | 975 | 255 | 85 |
| `Label28` | label | "Unknown" | 4800 | 3240 | 1215 | 255 | 87 |
| `Command40` | command button | "Cursor Type" | 120 | 3600 | 1455 | 375 | 82 |
| `Command46` | command button | "Cap Glyphlist" | 3240 | 3600 | 1455 | 375 | 94 |
| `Label26` | label | "Unknown" | 1680 | 3720 | 975 | 255 | 83 |
| `Label31` | label | "Unknown" | 4800 | 3720 | 1215 | 255 | 95 |
| `Command21` | command button | "Inter Character Wait" | 120 | 4080 | 1455 | 495 | 38 |
| `Command45` | command button | "Custom Glyphlist" | 3240 | 4080 | 1455 | 375 | 92 |
| `Label11` | label | "Unknown" | 1680 | 4200 | 975 | 255 | 39 |
| `Label30` | label | "Unknown" | 4800 | 4200 | 1215 | 255 | 93 |
| `Command47` | command button | "CharacterList" | 3240 | 4560 | 1455 | 375 | 96 |
| `Command23` | command button | "Cap H Marquee" | 120 | 4680 | 1455 | 375 | 42 |
| `Label16` | label | "Unknown" | 1680 | 4800 | 975 | 255 | 43 |
| `Label32` | label | "Unknown" | 3240 | 5040 | 2655 | 255 | 97 |
| `Command24` | command button | "Cap V Marquee" | 120 | 5160 | 1455 | 375 | 44 |
| `Label17` | label | "Unknown" | 1680 | 5280 | 975 | 255 | 45 |
| `Command48` | command button | "Claimed" | 3240 | 5280 | 1455 | 375 | 98 |
| `Label33` | label | "Unknown" | 4800 | 5400 | 1215 | 255 | 99 |
| `Command25` | command button | "Marquee Format" | 120 | 5640 | 1455 | 375 | 46 |
| `Label18` | label | "Unknown" | 1680 | 5760 | 975 | 255 | 47 |
| `Command49` | command button | "Result Code" | 3240 | 5760 | 1455 | 375 | 100 |
| `Label34` | label | "Unknown" | 4800 | 5880 | 1215 | 255 | 101 |
| `Command26` | command button | "Marquee Repeat Wait" | 120 | 6120 | 1455 | 495 | 49 |
| `Label19` | label | "Unknown" | 1680 | 6240 | 975 | 255 | 50 |
| `Command50` | command button | "Result Code Ext" | 3240 | 6240 | 1455 | 375 | 102 |
| `Label35` | label | "Unknown" | 4800 | 6360 | 1215 | 255 | 103 |
| `Command27` | command button | "Check Health Text" | 120 | 6720 | 1455 | 375 | 55 |
| `Command51` | command button | "Freeze Event" | 3240 | 6720 | 1455 | 375 | 105 |
| `Label37` | label | "Unknown" | 4800 | 6840 | 1215 | 255 | 106 |
| `Label10` | label | "Unknown" | 120 | 7200 | 2775 | 255 | 56 |
| `Command52` | command button | "State" | 3240 | 7200 | 1455 | 375 | 107 |
| `Label38` | label | "Unknown" | 4800 | 7320 | 1215 | 255 | 108 |
| `Command28` | command button | "CharacterSet" | 120 | 7560 | 1455 | 375 | 57 |
| `Label12` | label | "Unknown" | 1680 | 7680 | 1215 | 255 | 58 |
| `Command54` | command button | "Binary Conv" | 3240 | 7680 | 1455 | 375 | 111 |
| `Label40` | label | "Unknown" | 4800 | 7800 | 1215 | 255 | 112 |
| `Command32` | command button | "Cap Blink Rate" | 120 | 8040 | 1455 | 375 | 65 |
| `Label21` | label | "Unknown" | 1680 | 8160 | 1215 | 255 | 66 |
| `Command53` | command button | "Current Window" | 3240 | 8160 | 1455 | 375 | 109 |
| `Label39` | label | "Unknown" | 4800 | 8280 | 1215 | 255 | 110 |
| `Command34` | command button | "Cap Blink" | 120 | 8520 | 1455 | 375 | 69 |
| `Label23` | label | "Unknown" | 1680 | 8640 | 1215 | 255 | 70 |
| `Command55` | command button | "Device Window" | 3240 | 8640 | 1455 | 375 | 113 |
| `Label41` | label | "Unknown" | 4800 | 8760 | 1215 | 255 | 114 |
| `Command30` | command button | "Cap Power Report" | 120 | 9000 | 1455 | 375 | 61 |
| `Label14` | label | "Unknown" | 1680 | 9120 | 1215 | 255 | 62 |
)table";

struct Expected {
    std::string name;
    app::Kind kind{};
    std::string container;
    std::string caption;
    int left = 0, top = 0, width = 0, height = 0, tabIndex = 0;
    bool selected = false;
};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

int number(const std::string& field) { return field == "—" ? 0 : std::stoi(field); }

std::vector<Expected> parseExpected() {
    const std::map<std::string, app::Kind> kinds{{"command button", app::Kind::CommandButton},
        {"label", app::Kind::Label}, {"text box", app::Kind::TextBox},
        {"option button", app::Kind::OptionButton}, {"frame", app::Kind::Frame},
        {"OPOS Line Display control", app::Kind::LineDisplay}};
    std::vector<Expected> rows;
    std::istringstream in(expectedTables);
    std::string line, container;
    while (std::getline(in, line)) {
        if (line.rfind("in ", 0) == 0) {
            container = line.substr(3);
            continue;
        }
        if (line.empty()) continue;
        std::vector<std::string> f;
        std::istringstream cells(line.substr(1));
        for (std::string cell; std::getline(cells, cell, '|');) f.push_back(trim(cell));
        Expected e;
        e.name = f.at(0).substr(1, f[0].size() - 2);  // strip the backticks
        e.kind = kinds.at(f.at(1));
        e.container = container;
        std::string caption = f.at(2);
        e.selected = caption.size() > 11 && caption.ends_with(" (selected)");
        if (e.selected) caption.resize(caption.size() - 11);
        e.caption = caption == "(none)" ? "" : caption.substr(1, caption.size() - 2);
        e.left = number(f.at(3));
        e.top = number(f.at(4));
        e.width = number(f.at(5));
        e.height = number(f.at(6));
        e.tabIndex = f.at(7) == "—" ? app::noTabIndex : std::stoi(f.at(7));
        rows.push_back(e);
    }
    return rows;
}

TEST(ControlTable, matchesEveryRowOfTheWindowTablesInOrder) {
    const auto expected = parseExpected();
    ASSERT_EQ(expected.size(), 128u);
    ASSERT_EQ(app::controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const app::Control& c = app::controls[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(c.name, e.name);
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_EQ(c.container, e.container);
        EXPECT_EQ(c.caption, e.caption);
        EXPECT_EQ(c.left, e.left);
        EXPECT_EQ(c.top, e.top);
        EXPECT_EQ(c.width, e.width);
        EXPECT_EQ(c.height, e.height);
        EXPECT_EQ(c.tabIndex, e.tabIndex);
        EXPECT_EQ(c.selected, e.selected);
        EXPECT_EQ(app::findControl(e.name), &c);
    }
}

TEST(ControlTable, holdsEachKindInFullNumberedSequences) {
    EXPECT_EQ(app::countOf(app::Kind::CommandButton), 58u);
    EXPECT_EQ(app::countOf(app::Kind::Label), 43u);
    EXPECT_EQ(app::countOf(app::Kind::TextBox), 11u);
    EXPECT_EQ(app::countOf(app::Kind::OptionButton), 10u);
    EXPECT_EQ(app::countOf(app::Kind::Frame), 5u);
    EXPECT_EQ(app::countOf(app::Kind::LineDisplay), 1u);

    const auto expectKind = [](const std::string& prefix, int last, app::Kind kind) {
        for (int n = 1; n <= last; ++n) {
            const auto* c = app::findControl(prefix + std::to_string(n));
            ASSERT_NE(c, nullptr) << prefix << n;
            EXPECT_EQ(c->kind, kind) << prefix << n;
        }
    };
    expectKind("Command", 57, app::Kind::CommandButton);
    expectKind("Label", 43, app::Kind::Label);
    expectKind("Text", 11, app::Kind::TextBox);
    expectKind("Option", 10, app::Kind::OptionButton);
    expectKind("Frame", 5, app::Kind::Frame);
    ASSERT_NE(app::findControl("cmdExit"), nullptr);
    EXPECT_EQ(app::findControl("cmdExit")->caption, "Close");
    ASSERT_NE(app::findControl("OPOSLineDisplay1"), nullptr);
    EXPECT_EQ(app::findControl("Command58"), nullptr);
    EXPECT_EQ(app::findControl("command1"), nullptr);  // names are exact
    EXPECT_EQ(app::findControl(""), nullptr);
}

TEST(ControlTable, tabIndicesAreUniqueFromZeroAndOnlyTheControlInstanceHasNone) {
    std::set<int> seen;
    for (const auto& c : app::controls) {
        if (c.kind == app::Kind::LineDisplay) {
            EXPECT_EQ(c.tabIndex, app::noTabIndex);
            continue;
        }
        EXPECT_TRUE(seen.insert(c.tabIndex).second) << c.name << " repeats tab index " << c.tabIndex;
    }
    EXPECT_EQ(seen.size(), 127u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 126);
    EXPECT_EQ(app::findControl("cmdExit")->tabIndex, 0);

    // The last control able to take the focus is Command57; only labels and
    // frames come after it.
    const auto* last = &app::controls.front();
    for (const auto& c : app::controls) {
        const bool focusable = c.kind == app::Kind::CommandButton || c.kind == app::Kind::TextBox ||
                               c.kind == app::Kind::OptionButton;
        if (focusable && c.tabIndex > last->tabIndex) last = &c;
    }
    EXPECT_EQ(last->name, "Command57");
}

TEST(ControlTable, startsWithTheInitialTextsAndSelections) {
    for (const auto& c : app::controls) {
        if (c.kind != app::Kind::Label) continue;
        std::string_view expected = "Unknown";
        if (c.name == "Label1") expected = "Label1";
        if (c.name == "Label22" || c.name == "Label42") expected = "Label22";
        if (c.name == "Label2") expected = "Raw";
        if (c.name == "Label3") expected = "Col";
        EXPECT_EQ(c.caption, expected) << c.name;
    }
    const std::map<std::string_view, std::string_view> texts{{"Text1", "1"}, {"Text2", "5"},
        {"Text3", "Disp Text At Test"}, {"Text4", "Disp Text Test"}, {"Text5", "0"}, {"Text6", "100"},
        {"Text7", "0"}, {"Text8", "0"}, {"Text9", "0"}, {"Text10", "0"}, {"Text11", "0"}};
    for (const auto& [name, text] : texts) EXPECT_EQ(app::findControl(name)->caption, text) << name;

    std::set<std::string_view> selected;
    for (const auto& c : app::controls) {
        if (c.selected) {
            EXPECT_EQ(c.kind, app::Kind::OptionButton) << c.name;
            selected.insert(c.name);
        }
    }
    EXPECT_EQ(selected, (std::set<std::string_view>{"Option2", "Option3", "Option7"}));
}

TEST(ControlTable, optionGroupsArePerContainerWithOneSelectedEach) {
    std::map<std::string_view, std::vector<const app::Control*>> groups;
    for (const auto& c : app::controls)
        if (c.kind == app::Kind::OptionButton) groups[c.container].push_back(&c);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups["Step1"].size(), 2u);
    EXPECT_EQ(groups["Frame2"].size(), 4u);
    EXPECT_EQ(groups["Frame1"].size(), 4u);
    for (const auto& [container, group] : groups)
        EXPECT_EQ(std::count_if(group.begin(), group.end(), [](auto* c) { return c->selected; }), 1)
            << container;
}

// Every control lies inside its container, containers are frames created
// before what they hold, and the window is as big as its client area.
TEST(ControlTable, controlsFitInsideTheirContainers) {
    EXPECT_EQ(app::window.name, "Step1");
    EXPECT_EQ(app::window.title, ".");
    EXPECT_EQ(app::window.clientWidth, 14190);
    EXPECT_EQ(app::window.clientHeight, 11355);
    EXPECT_EQ(app::window.startLeft, 3045);
    EXPECT_EQ(app::window.startTop, 3330);

    std::set<std::string_view> created;
    for (const auto& c : app::controls) {
        SCOPED_TRACE(std::string(c.name));
        int width = app::window.clientWidth;
        int height = app::window.clientHeight;
        if (c.container != app::window.name) {
            ASSERT_TRUE(created.contains(c.container)) << "container not created before";
            const auto* frame = app::findControl(c.container);
            ASSERT_EQ(frame->kind, app::Kind::Frame);
            width = frame->width;
            height = frame->height;
        }
        EXPECT_GE(c.left, 0);
        EXPECT_GE(c.top, 0);
        EXPECT_LE(c.left + c.width, width);
        EXPECT_LE(c.top + c.height, height);
        created.insert(c.name);
    }
    EXPECT_EQ(app::findControl("Frame5")->container, "Frame3");
    EXPECT_EQ(app::findControl("Frame5")->caption, "");
    EXPECT_EQ(app::findControl("Frame1")->caption, "Disp Text At");
    EXPECT_EQ(app::findControl("Frame2")->caption, "Disp Text At");
}

TEST(ControlTable, label36LiesWhollyUnderFrame3) {
    const auto* label = app::findControl("Label36");
    const auto* frame = app::findControl("Frame3");
    EXPECT_EQ(label->container, app::window.name);
    EXPECT_EQ(frame->container, app::window.name);
    EXPECT_GE(label->left, frame->left);
    EXPECT_GE(label->top, frame->top);
    EXPECT_LE(label->left + label->width, frame->left + frame->width);
    EXPECT_LE(label->top + label->height, frame->top + frame->height);
}

}  // namespace
