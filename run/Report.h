// How ldt-run tells what it found: one line per check,
//   PASS walk.ldt:12 Open "TQN730" -> OPOS_SUCCESS
//   FAIL walk.ldt:14 expect CursorColumn 5: read 3
//   SKIP walk.ldt:20 expect wire 1B 40: this target cannot see the wire
// then, when anything was skipped, "N skipped", and "N passed, N failed"
// alone on the last line. On a terminal a progress line shows how far a long
// run is; it is cleared before each line so that it never mixes with them.
// The same findings can be written as JUnit XML for CI systems.
//
// One thread; the streams are the caller's.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace run {

struct Finding {
    enum class Status : std::uint8_t { pass, fail, skip };
    Status status = Status::pass;
    std::string where;   // "file:line"
    std::string what;    // the statement or case, as written
    std::string detail;  // why it failed or was skipped; what it broke
    std::chrono::duration<double> took{};
};

class Reporter {
public:
    struct Options {
        bool quiet = false;  // leave out the PASS lines
    };
    // Lines go to `out`; the progress line to `progress` when not null (a terminal).
    Reporter(std::ostream& out, std::ostream* progress, Options options);

    // Findings from here on belong to this suite (a script, a trace, a device's conformance run).
    void beginSuite(const std::string& name);
    void report(const Finding& finding);
    // Shows how far the run is ("12/530 TQN730 open.closed"); nothing without a terminal.
    void progress(std::size_t done, std::size_t total, const std::string& what);
    // Prints the closing lines: "N skipped" when any were, then "N passed, N failed".
    void finish();

    int passed() const { return passed_; }
    int failed() const { return failed_; }
    int skipped() const { return skipped_; }

    // Writes every finding as JUnit XML (one <testsuite> per suite) to a
    // new file; returns an empty string, or why it could not be written.
    std::string writeJUnit(const std::filesystem::path& file) const;
    // The XML itself.
    std::string junitXml() const;

private:
    void clearProgress();

    struct Suite {
        std::string name;
        std::vector<Finding> findings;
    };
    std::ostream& out_;
    std::ostream* progress_;
    Options options_;
    std::vector<Suite> suites_;
    std::size_t progressWidth_ = 0;
    int passed_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
};

}  // namespace run
