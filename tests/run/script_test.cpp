// The script language: what parses into what, and that every mistake is
// told with its line and column before anything runs.
#include "run/Script.h"
#include "RunTesting.h"

#include <gtest/gtest.h>

using namespace run;

namespace {

Statement one(std::string_view text) {
    const Script script = parseScript(text, "t.ldt");
    EXPECT_EQ(script.statements.size(), 1u);
    return script.statements.at(0);
}

}  // namespace

TEST(ScriptLanguage, readsValuesAsTheConsoleAndTheTraceWriteThem) {
    // Numbers as the console's boxes take them, result names, escapes.
    Statement s = one("DisplayTextAt &H1 0x2 \"a\\\"b\\\\c\\n\\x1B\\u{20AC}\\u{1F600}\\u{D800}\" 2.5");
    ASSERT_EQ(s.kind, Statement::Kind::call);
    EXPECT_EQ(s.values[0].number.offset, 1);
    EXPECT_EQ(s.values[1].number.offset, 2);
    EXPECT_EQ(s.values[2].text, u"a\"b\\c\n\x1B\u20AC\U0001F600\xD800");
    EXPECT_EQ(s.values[3].number.offset, 2);  // an exact half to the even neighbour
    EXPECT_FALSE(s.outcome);

    s = one("CursorRow = ROWS-1 -> OPOS_E_ILLEGAL  # a comment");
    ASSERT_EQ(s.kind, Statement::Kind::write);
    EXPECT_EQ(s.values[0].number.base, Number::Base::rows);
    EXPECT_EQ(s.values[0].number.offset, -1);
    EXPECT_EQ(s.outcome->value.number.offset, 106);
    EXPECT_EQ(s.source, "CursorRow = ROWS-1 -> OPOS_E_ILLEGAL");

    s = one("@holder Open DEVICE -> error \"no such\"");
    EXPECT_EQ(s.instance, "holder");
    EXPECT_EQ(s.values[0].kind, Value::Kind::device);
    EXPECT_TRUE(s.outcome->error);
    EXPECT_EQ(s.outcome->errorText, "no such");

    s = one("DisplayText \"ab\" * COLUMNS+2 0");
    EXPECT_EQ(s.values[0].times->base, Number::Base::columns);
    EXPECT_EQ(s.values[0].times->offset, 2);

    s = one("expect wire 1F 24 01 2 \"Total\" ff");
    EXPECT_EQ(s.bytes, std::string("\x1F\x24\x01\x02Total\xFF"));
    EXPECT_EQ(one("DeviceEnabled -> bool(1)").outcome->value.raw, 1);
    EXPECT_EQ(parseScript("Close; Close\n\nClose", "t.ldt").statements.size(), 3u);
}

TEST(ScriptLanguage, findsTheConsolesControlsByCaptionOrName) {
    EXPECT_EQ(one("press \"Disp Text\"").control, "Command7");
    EXPECT_EQ(one("press \"Cursor Row\" in \"Set Properties\"").control, "Command37");
    EXPECT_EQ(one("press \"Cursor Row\" in Frame3").control, "Command11");
    EXPECT_EQ(one("press cmdExit").control, "cmdExit");
    EXPECT_EQ(one("select \"Blink\" for \"Disp Text\"").control, "Option4");
    EXPECT_EQ(one("select \"Blink\" for \"Disp Text At\"").control, "Option8");
    EXPECT_EQ(one("select \"DM-D202\"").control, "Option1");
    const Statement typed = one("type Text1 0x1F");
    EXPECT_EQ(typed.text, u"0x1F");  // typed as written, converted by the handler
    EXPECT_EQ(one("expect Label34 \"0\"").kind, Statement::Kind::expectLabel);
    EXPECT_EQ(one("expect CursorColumn 5").kind, Statement::Kind::read);
}

TEST(ScriptLanguage, eachMistakeIsToldWithItsLineAndColumn) {
    const runtest::Refused cases[] = {
        {"Open \"TQN730\"\nClaimDevce 1000", "t.ldt:2:1: \"ClaimDevce\" is no Line Display operation"},
        {"claimdevice 1000", "(did you mean ClaimDevice?)"},
        {"ClaimDevice", "t.ldt:1:12: ClaimDevice takes 1 arguments, found 0"},
        {"ClaimDevice 1 2", "t.ldt:1:15: ClaimDevice takes 1 arguments"},
        {"DisplayText 5 0", "t.ldt:1:13: argument 1 of DisplayText is a string"},
        {"DeviceEnabled = 1", "t.ldt:1:17: DeviceEnabled takes true or false"},
        {"State = 2", "t.ldt:1:1: State is read-only"},
        {"CursorRow -> true", "t.ldt:1:14: the outcome here is a whole number"},
        {"ClaimDevice 12abc", "t.ldt:1:13: \"12abc\" is not a number"},
        {"ClaimDevice 99999999999", "outside the 32-bit integer range"},
        {"Open \"TQN730", "t.ldt:1:6: this string has no closing quote on its line"},
        {"Open \"a\\qb\"", "t.ldt:1:8: unknown escape \\q"},
        {"Open \"\\u{110000}\"", "t.ldt:1:7: \\u{...} needs 1 to 6 hexadecimal digits"},
        {"  press \"Cursor Row\"",
            "t.ldt:1:9: \"Cursor Row\" names 2 command buttons: Command37 (in Frame4), "
            "Command11 (in Frame3); say which with in"},
        {"select \"Blink\"", "\"Blink\" names 2 option buttons"},
        {"press \"Print\"", "t.ldt:1:7: the console has no command button \"Print\""},
        {"type Label1 \"x\"", "t.ldt:1:6: the console has no text box named Label1"},
        {"expect wire 1F 100", "t.ldt:1:16: expected a byte in hex"},
        {"expect wire \"\\u{E9}\"", "write bytes above 7F in hex"},
        {"expect screen", "expect screen needs the rows"},
        {"Close Close", "t.ldt:1:7: Close takes 0 arguments"},
        {"Open \"x\" -> OPOS_SUCCESS extra", "t.ldt:1:26: unexpected \"extra\" after a complete statement"},
        {"@ Open \"x\"", "t.ldt:1:1: \"@\" must be followed by an instance name"},
        {"Open \"\xC3\x28\"", "t.ldt:1:7: this is not UTF-8 text"},
        {"Open `x`", "t.ldt:1:6: unexpected character '`'"},
    };
    runtest::expectRefused([](const char* text) { parseScript(text, "t.ldt"); }, cases);
}
