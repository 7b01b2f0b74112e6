// The device configuration: what a sound file gives, each kind of mistake
// with the message that names the file, the line and the problem, and the
// order in which the files override each other.
#include "device/DeviceConfig.h"
#include "model/CommandSet.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>

using device::DeviceEntry;

namespace {

constexpr std::array<std::string_view, 4> commandSets{"DM-D", "CD5220", "AEDEX", "ANSI"};

device::DeviceConfig parse(std::string_view text) {
    return device::parseDeviceConfig(text, "devices.toml", commandSets);
}

// The one entry's problem, or the file's problem when there is no entry.
std::string problemOf(std::string_view text) {
    const auto config = parse(text);
    if (!config.problems.empty()) return config.problems.front();
    if (config.entries.size() != 1) return "expected one entry";
    return config.entries.front().problem;
}

}  // namespace

TEST(DeviceConfig, readsSerialAndSimulatedEntriesWithDefaults) {
    const auto config = parse(R"(
[devices."TQN730"]
service = "serial"
port = "/run/user/0/ldt-virtual-display"
baud = 9600
command-set = "DM-D"
rows = 2
columns = 20
trace = "/tmp/ldt-trace.log"

[devices."Pole"]
service = "serial"
port = "/dev/ttyUSB0"
command-set = "CD5220"

[devices."Bench"]
service = "simulated"
profile = "DM-D202"
character-set = 1252

[devices."Till"]
service = "serial"
port = "/dev/ttyUSB1"
command-set = "EMAX"
)");
    ASSERT_TRUE(config.problems.empty()) << config.problems.front();
    ASSERT_EQ(config.entries.size(), 4u);
    EXPECT_EQ(config.find("Till")->commandSet, "AEDEX");  // sold as EMAX, stored by its own name
    const DeviceEntry* tqn = config.find("TQN730");
    ASSERT_NE(tqn, nullptr);
    EXPECT_EQ(tqn->problem, "");
    EXPECT_EQ(tqn->service, DeviceEntry::Service::serial);
    EXPECT_EQ(tqn->port, "/run/user/0/ldt-virtual-display");
    EXPECT_EQ(tqn->trace, "/tmp/ldt-trace.log");
    EXPECT_EQ(tqn->line, 2);
    const DeviceEntry* pole = config.find("Pole");
    EXPECT_EQ(pole->commandSet, "CD5220");
    EXPECT_FALSE(pole->baud);  // the command set's
    EXPECT_EQ(pole->rows, 2);
    EXPECT_EQ(pole->columns, 20);
    EXPECT_EQ(pole->trace, "");
    const DeviceEntry* bench = config.find("Bench");
    EXPECT_EQ(bench->service, DeviceEntry::Service::simulated);
    EXPECT_EQ(bench->profile, "DM-D202");
    EXPECT_EQ(bench->characterSet, 1252);
    EXPECT_FALSE(pole->characterSet.has_value());  // the display's own: Unicode
}

TEST(DeviceConfig, eachMistakeNamesTheFileTheLineAndTheProblem) {
    const std::map<std::string, std::string> cases{
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nspeed = 9600\n",
            "devices.toml:4: device \"A\": unknown key \"speed\" (known keys: service, trace, port, baud, "
            "parity, "
            "data-bits, stop-bits, flow-control, "
            "command-set, rows, columns, allow-console, profile, character-set)"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nbaud = 9601\n",
            "devices.toml:4: device \"A\": baud 9601 is not a supported speed (1200, 2400, 4800, 9600, "
            "19200, "
            "38400, 57600, 115200)"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nbaud = \"fast\"\n",
            "devices.toml:4: device \"A\": baud must be an integer, not a string"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nparity = \"odd \"\n",
            "devices.toml:4: device \"A\": parity must be \"none\", \"odd\", \"even\", \"mark\" or "
            "\"space\", "
            "not \"odd \""},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nparity = 1\n",
            "devices.toml:4: device \"A\": parity must be a string, not an integer"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\ndata-bits = 9\n",
            "devices.toml:4: device \"A\": data-bits must be 7 or 8, not 9"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nstop-bits = 1.5\n",
            "devices.toml:4: device \"A\": stop-bits must be an integer, not a number with a fraction"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nstop-bits = 0\n",
            "devices.toml:4: device \"A\": stop-bits must be 1 or 2, not 0"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nflow-control = \"RTS/CTS\"\n",
            "devices.toml:4: device \"A\": flow-control must be \"none\", \"rts-cts\", \"dtr-dsr\" or "
            "\"xon-xoff\", not \"RTS/CTS\""},
        {"[devices.A]\nservice = \"simulated\"\nparity = \"odd\"\n",
            "devices.toml:3: device \"A\": key \"parity\" does not apply to a simulated display"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\ncommand-set = \"ESC/POS\"\n",
            "devices.toml:4: device \"A\": unknown command set \"ESC/POS\" (known: DM-D, CD5220, AEDEX (or "
            "EMAX), ANSI)"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\ncommand-set = \"ICD-2002\"\n",
            "devices.toml:4: device \"A\": command set \"ICD-2002\" is not supported: its published table "
            "stops "
            "short of the row-mode values of ESC E and of what its default \"shift\" mode does, so no "
            "display "
            "could be driven safely with it; set the display to another emulation (CD5220, DM-D, AEDEX, ...) "
            "with its switches"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\ncommand-set = \"AEDEX\"\nrows = 4\n",
            "devices.toml:5: device \"A\": command set \"AEDEX\" writes the upper and lower rows of a "
            "display "
            "only: rows must be 1 or 2, not 4"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\n\ncolumns = 0\n",
            "devices.toml:5: device \"A\": columns must be 1 to 40, not 0"},
        {"[devices.A]\nservice = \"serial\"\nbaud = 9600\n",
            "devices.toml:1: device \"A\": a serial display needs \"port\" (the path of its serial port)"},
        {"[devices.A]\nservice = \"parallel\"\n",
            "devices.toml:2: device \"A\": service must be \"serial\" or \"simulated\", not \"parallel\""},
        {"[devices.A]\nport = \"/dev/ttyS0\"\n",
            "devices.toml:1: device \"A\": missing key \"service\" (\"serial\" or \"simulated\")"},
        {"[devices.A]\nservice = \"simulated\"\nprofile = \"TQN731\"\n",
            "devices.toml:3: device \"A\": unknown profile \"TQN731\" (known: TQN730, DM-D202)"},
        {"[devices.A]\nservice = \"simulated\"\nport = \"/dev/ttyS0\"\n",
            "devices.toml:3: device \"A\": key \"port\" does not apply to a simulated display"},
        {"[devices.A]\nservice = \"simulated\"\ncharacter-set = 1252\n",
            "devices.toml:3: device \"A\": character-set 1252 is not one this display shows "
            "(437,850,858,997,998)"},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\ncharacter-set = 4\n",
            "devices.toml:4: device \"A\": character-set 4 is not a character set (997 Unicode, 998 ASCII, "
            "or a code page such as 437)"},
        {"[devices.A]\nservice = \"simulated\"\ntrace = \"\"\n",
            "devices.toml:3: device \"A\": an empty path is not a file"},
        {"[devices]\nA = 5\n",
            "devices.toml:2: device \"A\" must be a table ([devices.\"A\"]), not an integer"},
        // Whole-file problems.
        {"[devices.A]\nservice = \"serial\"\nport = /dev/ttyS0\n", "devices.toml:3: not valid TOML: "},
        {"[devices.A]\nservice = \"simulated\"\n[device.B]\nservice = \"simulated\"\n",
            "devices.toml:3: unknown key \"device\" (devices are tables under [devices])"},
        {"devices = 3\n", "devices.toml:1: devices must be a table of device tables, not an integer"},
    };
    for (const auto& [text, message] : cases) {
        const std::string problem = problemOf(text);
        // Parse errors end with the parser's own wording; the rest is ours, whole.
        if (message.ends_with(": ")) {
            EXPECT_TRUE(problem.starts_with(message) && problem.size() > message.size()) << problem;
        } else {
            EXPECT_EQ(problem, message) << text;
        }
    }
}

TEST(DeviceConfig, lineSettingsNotGivenAreTheCommandSetsFactorySettings) {
    const auto config = parse(R"(
[devices."Plain"]
service = "serial"
port = "/dev/ttyUSB0"
command-set = "ANSI"

[devices."Tuned"]
service = "serial"
port = "/dev/ttyUSB1"
command-set = "ANSI"
baud = 19200
parity = "even"
data-bits = 7
stop-bits = 2
flow-control = "rts-cts"
)");
    ASSERT_TRUE(config.problems.empty()) << config.problems.front();
    // The ANSI set's displays leave the factory at odd parity, the others without.
    const model::LineSettings& factory = model::findCommandSet(config.find("Plain")->commandSet)->line;
    EXPECT_EQ(model::describe(config.find("Plain")->lineSettings(factory)), "9600 8O1, no flow control");
    for (const model::CommandSet& set : model::commandSets()) {
        EXPECT_EQ(model::describe(set.line),
            set.name == "ANSI" ? "9600 8O1, no flow control" : "9600 8N1, no flow control")
            << set.name;
    }
    const model::LineSettings tuned = config.find("Tuned")->lineSettings(factory);
    EXPECT_EQ(model::describe(tuned), "19200 7E2, RTS/CTS flow control");
    for (const auto* text : {"mark", "space"}) {
        const auto entry = parse("[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nparity = \"" +
                                 std::string(text) + "\"\n");
        EXPECT_EQ(model::nameOf(*entry.entries.front().parity), text);
    }
}

TEST(DeviceConfig, theSizeOfADisplayIsAcceptedUpToItsEdgesAndNoFurther) {
    const auto sized = [](const std::string& key, int value) {
        return problemOf("[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\n" + key + " = " +
                         std::to_string(value) + "\n");
    };
    for (const auto& [key, high] : {std::pair<std::string, int>{"rows", 4}, {"columns", 40}}) {
        EXPECT_EQ(sized(key, 1), "") << key;
        EXPECT_EQ(sized(key, high), "") << key;
        EXPECT_NE(sized(key, 0), "") << key;
        EXPECT_EQ(sized(key, high + 1), "devices.toml:4: device \"A\": " + key + " must be 1 to " +
                                            std::to_string(high) + ", not " + std::to_string(high + 1));
    }
}

TEST(DeviceConfig, aBrokenEntryKeepsItsNameAndTraceAndTheOthersStaySound) {
    const auto config = parse(
        "[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\"\nrows = 9\nbaud = 1\n"
        "trace = \"/tmp/a.log\"\n[devices.B]\nservice = \"simulated\"\n");
    ASSERT_EQ(config.entries.size(), 2u);
    // The earliest of two problems is the one told.
    EXPECT_EQ(config.find("A")->problem, "devices.toml:4: device \"A\": rows must be 1 to 4, not 9");
    EXPECT_EQ(config.find("A")->trace, "/tmp/a.log");
    EXPECT_EQ(config.find("B")->problem, "");
}

TEST(DeviceConfig, laterFilesOverrideEarlierOnesEntryByEntry) {
    char folder[] = "/tmp/ldt-config-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path dir(folder);
    std::filesystem::create_directories(dir / "xdg/linedisplaytest");
    std::ofstream(dir / "xdg/linedisplaytest/devices.toml")
        << "[devices.A]\nservice = \"simulated\"\n[devices.B]\nservice = \"simulated\"\nprofile = "
           "\"DM-D202\"\n";
    std::ofstream(dir / "named.toml") << "[devices.B]\nservice = \"serial\"\nport = \"/dev/ttyS1\"\n";

    const std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", (dir / "xdg").string()},
        {"HOME", "/nonexistent"}, {"LDT_DEVICE_CONFIG", (dir / "named.toml").string()}};
    const auto places = device::configPlaces([&](const char* name) -> const char* {
        const auto it = environment.find(name);
        return it == environment.end() ? nullptr : it->second.c_str();
    });
    ASSERT_EQ(places.optional.size(), 2u);
    EXPECT_EQ(places.optional[0], "/etc/linedisplaytest/devices.toml");
    EXPECT_EQ(places.optional[1], dir / "xdg/linedisplaytest/devices.toml");
    const auto config = device::loadDeviceConfig({{places.optional[1]}, places.required}, commandSets);
    EXPECT_TRUE(config.problems.empty());
    EXPECT_EQ(config.find("A")->service, DeviceEntry::Service::simulated);
    EXPECT_EQ(config.find("B")->service, DeviceEntry::Service::serial);
    EXPECT_EQ(config.find("B")->port, "/dev/ttyS1");

    // HOME stands in when XDG_CONFIG_HOME is not set.
    const auto homeOnly = device::configPlaces([](const char* name) -> const char* {
        return std::string_view(name) == "HOME" ? "/home/tech" : nullptr;
    });
    EXPECT_EQ(homeOnly.optional[1], "/home/tech/.config/linedisplaytest/devices.toml");
    EXPECT_FALSE(homeOnly.required);

    // A file named by the variable must exist.
    const auto missing = device::loadDeviceConfig({{}, dir / "nope.toml"}, commandSets);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_EQ(
        missing.problems[0], (dir / "nope.toml").string() +
                                 ": the device configuration named by LDT_DEVICE_CONFIG does not exist");
    std::filesystem::remove_all(dir);
}

TEST(DeviceConfig, aFileNestedTooDeepIsRefusedBeforeParsingAndBreaksEveryName) {
    const auto repeat = [](std::string_view part, std::size_t times) {
        std::string text;
        for (std::size_t i = 0; i < times; ++i) text += part;
        return text;
    };
    // 70 KB of nesting each: a table header, a dotted key, arrays, inline
    // tables with dotted keys. Parsed as they are, the first two end the
    // process with a stack overflow.
    const std::vector<std::string> texts{"# deep\n[a" + repeat(".a", 35'000) + "]\n",
        "x = 1\n\na" + repeat(".a", 35'000) + " = 1\n", "x = " + repeat("[", 70'000) + "\n",
        "x = " + repeat("{a.a.a.a = ", 10'000) + "1\n"};
    for (const std::string& text : texts) {
        const auto config = parse(text);
        ASSERT_EQ(config.problems.size(), 1u);
        EXPECT_TRUE(config.problems[0].starts_with("devices.toml:"));
        EXPECT_NE(config.problems[0].find(": tables nested more than 16 levels deep"), std::string::npos)
            << config.problems[0].substr(0, 200);
        EXPECT_EQ(config.anyNameProblem, config.problems[0]);
    }
    EXPECT_TRUE(parse(texts[0]).problems[0].starts_with("devices.toml:2:"));
    // Comments and strings that only look deep are no nesting.
    const auto flat = parse(
        "[devices.A]\nservice = \"simulated\"\n# [a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a]\n"
        "trace = '''\n[a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a]'''\n");
    EXPECT_TRUE(flat.problems.empty()) << flat.problems.front();
}

TEST(DeviceConfig, aHugeOrHostileValueIsQuotedShortAndEscaped) {
    const std::string huge(5'000'000, 'x');
    const std::map<std::string, std::string> cases{
        {"[devices.A]\nservice = \"" + huge + "\"\n",
            "devices.toml:2: device \"A\": service must be \"serial\" or \"simulated\", not \"" +
                std::string(60, 'x') + "...\" (5000000 bytes)"},
        {"[devices.\"A\\u001B[2J\\n\"]\nservice = \"parallel\"\n",
            "devices.toml:2: device \"A\\u{1B}[2J\\n\": service must be \"serial\" or \"simulated\", not "
            "\"parallel\""},
        {"[devices.A]\nservice = \"serial\"\nport = \"/dev/ttyS0\\u0000x\"\n",
            "devices.toml:3: device \"A\": the path \"/dev/ttyS0\\u{0}x\" contains a NUL character"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(problemOf(text), message);
}

TEST(DeviceConfig, aFileThatIsNotValidTomlBreaksTheDevicesItNames) {
    // The devices it names, as far as their headers can be read.
    const auto named = parse(
        "[devices.\"TQN730\"]\nservice = \"serial\"\nport = /dev/ttyUSB0\n[devices.Pole]\nservice = "
        "\"serial\"\n");
    ASSERT_EQ(named.problems.size(), 1u);
    EXPECT_TRUE(named.problems[0].starts_with("devices.toml:3: not valid TOML: ")) << named.problems[0];
    ASSERT_EQ(named.entries.size(), 2u);
    for (const DeviceEntry& entry : named.entries) EXPECT_EQ(entry.problem, named.problems[0]);
    EXPECT_NE(named.find("TQN730"), nullptr);
    EXPECT_EQ(named.anyNameProblem, "");
    // When they cannot be told, every name.
    for (const std::string text : {"[devices]\nTQN730 = { service = serial }\n", "devices = [\n", "= 1\n"}) {
        const auto config = parse(text);
        EXPECT_TRUE(config.entries.empty());
        ASSERT_EQ(config.problems.size(), 1u) << text;
        EXPECT_EQ(config.anyNameProblem, config.problems[0]);
    }
    // An earlier file's entries are broken too: the broken file may have replaced them.
    device::DeviceConfig merged = parse("[devices.A]\nservice = \"simulated\"\n");
    merged.merge(parse("[devices]\nB = {\n"));
    EXPECT_EQ(merged.find("A")->problem, merged.anyNameProblem);
    merged.merge(parse("[devices.A]\nservice = \"simulated\"\n"));
    EXPECT_EQ(merged.find("A")->problem, "");
}

TEST(DeviceConfig, onlyRegularFilesOfBoundedSizeAreReadEachOtherKindSaysWhat) {
    char folder[] = "/tmp/ldt-config-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path dir(folder);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_symlink(dir / "loop2", dir / "loop1");
    std::filesystem::create_symlink(dir / "loop1", dir / "loop2");
    std::ofstream(dir / "big.toml") << "# big\n";
    std::filesystem::resize_file(dir / "big.toml", device::maxConfigBytes + 1);
    const std::string notAFile = ", not a file; a device configuration must be a regular file";
    const std::map<std::filesystem::path, std::string> cases{
        {dir / "fifo", "is a named pipe (FIFO)" + notAFile},
        {"/dev/zero", "is a character device" + notAFile},
        {dir / "folder", "is a folder" + notAFile},
        {dir / "loop1", "its symbolic links lead round in a loop"},
        {dir / "big.toml", "is 4194305 bytes, more than the 4194304 a device configuration may have"},
        {dir / "nope.toml", "the device configuration named by LDT_DEVICE_CONFIG does not exist"},
    };
    for (const auto& [path, why] : cases) {
        // Each as the file LDT_DEVICE_CONFIG names and as an optional one.
        for (const bool named : {true, false}) {
            const auto config = named ? device::loadDeviceConfig({{}, path}, commandSets)
                                      : device::loadDeviceConfig({{path}, std::nullopt}, commandSets);
            if (!named && path.filename() == "nope.toml") {
                EXPECT_TRUE(config.problems.empty());
                continue;
            }
            ASSERT_EQ(config.problems.size(), 1u) << path;
            EXPECT_EQ(config.problems[0], path.string() + ": " + why);
            EXPECT_EQ(config.anyNameProblem, config.problems[0]);
        }
    }
    std::filesystem::remove_all(dir);
}
