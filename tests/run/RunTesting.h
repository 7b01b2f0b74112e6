// What the tests of ldt-run share: a file's whole text, and the check that
// a reader refuses a text with the words (and place) it should.
#pragma once

#include "run/Script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace runtest {

inline std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One text a reader must refuse, and the words of its message.
struct Refused {
    const char* text;
    const char* told;
};

// Each text refused by `read` (a function of the text that throws
// run::ParseError) with a message that contains its words.
template <typename Read, std::size_t N>
void expectRefused(const Read& read, const Refused (&cases)[N]) {
    for (const Refused& c : cases) {
        try {
            read(c.text);
            ADD_FAILURE() << c.text << ": read without a complaint";
        } catch (const run::ParseError& e) {
            EXPECT_NE(std::string(e.what()).find(c.told), std::string::npos) << c.text << "\n" << e.what();
        }
    }
}

}  // namespace runtest
