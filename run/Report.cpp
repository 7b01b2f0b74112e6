#include "run/Report.h"

#include "run/Files.h"

#include <cstdio>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace run {
namespace {

const char* label(Finding::Status status) {
    switch (status) {
    case Finding::Status::pass: return "PASS";
    case Finding::Status::fail: return "FAIL";
    case Finding::Status::skip: return "SKIP";
    }
    return "?";
}

// Text for XML: the five special characters as entities, and the control
// characters XML 1.0 cannot carry at all as \xHH.
std::string xmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out;
}

}  // namespace

Reporter::Reporter(std::ostream& out, std::ostream* progress, Options options)
    : out_(out), progress_(progress), options_(options) {}

void Reporter::beginSuite(const std::string& name) { suites_.push_back(Suite{name, {}}); }

void Reporter::report(const Finding& finding) {
    if (suites_.empty()) beginSuite("ldt-run");
    suites_.back().findings.push_back(finding);
    switch (finding.status) {
    case Finding::Status::pass: ++passed_; break;
    case Finding::Status::fail: ++failed_; break;
    case Finding::Status::skip: ++skipped_; break;
    }
    if (options_.quiet && finding.status == Finding::Status::pass) return;
    clearProgress();
    out_ << label(finding.status) << ' ' << finding.where << ' ' << finding.what;
    if (!finding.detail.empty()) out_ << ": " << finding.detail;
    out_ << '\n' << std::flush;
}

void Reporter::progress(std::size_t done, std::size_t total, const std::string& what) {
    if (progress_ == nullptr) return;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::string.
    std::string line(1, '[');
    line.append(std::to_string(done)).append("/").append(std::to_string(total)).append("] ").append(what);
    if (line.size() > 79) line.resize(79);
    // Blanks over what is left of a longer line before, then back to the start.
    const std::size_t width = line.size();
    if (line.size() < progressWidth_) line.append(progressWidth_ - line.size(), ' ');
    *progress_ << '\r' << line << std::flush;
    progressWidth_ = width;
}

void Reporter::clearProgress() {
    if (progress_ == nullptr || progressWidth_ == 0) return;
    *progress_ << '\r' << std::string(progressWidth_, ' ') << '\r' << std::flush;
    progressWidth_ = 0;
}

void Reporter::finish() {
    clearProgress();
    if (skipped_ > 0) out_ << skipped_ << " skipped\n";
    out_ << passed_ << " passed, " << failed_ << " failed\n" << std::flush;
}

std::string Reporter::junitXml() const {
    std::ostringstream xml;
    xml << std::fixed << std::setprecision(6);  // seconds as CI systems read them, never 1e-05
    int tests = 0, failures = 0, skips = 0;
    for (const Suite& suite : suites_) {
        for (const Finding& f : suite.findings) {
            ++tests;
            failures += f.status == Finding::Status::fail;
            skips += f.status == Finding::Status::skip;
        }
    }
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml << "<testsuites name=\"ldt-run\" tests=\"" << tests << "\" failures=\"" << failures << "\" skipped=\""
        << skips << "\">\n";
    for (const Suite& suite : suites_) {
        int f = 0, s = 0;
        double seconds = 0;
        for (const Finding& finding : suite.findings) {
            f += finding.status == Finding::Status::fail;
            s += finding.status == Finding::Status::skip;
            seconds += finding.took.count();
        }
        xml << "  <testsuite name=\"" << xmlText(suite.name) << "\" tests=\"" << suite.findings.size()
            << "\" failures=\"" << f << "\" errors=\"0\" skipped=\"" << s << "\" time=\"" << seconds
            << "\">\n";
        for (const Finding& finding : suite.findings) {
            xml << "    <testcase classname=\"" << xmlText(suite.name) << "\" name=\""
                << xmlText(finding.where + " " + finding.what) << "\" time=\"" << finding.took.count()
                << "\"";
            if (finding.status == Finding::Status::pass) {
                xml << "/>\n";
                continue;
            }
            xml << ">\n";
            if (finding.status == Finding::Status::fail) {
                xml << "      <failure message=\"" << xmlText(finding.detail) << "\">"
                    << xmlText(finding.where) << ": " << xmlText(finding.detail) << "</failure>\n";
            } else {
                xml << "      <skipped message=\"" << xmlText(finding.detail) << "\"/>\n";
            }
            xml << "    </testcase>\n";
        }
        xml << "  </testsuite>\n";
    }
    xml << "</testsuites>\n";
    return xml.str();
}

std::string Reporter::writeJUnit(const std::filesystem::path& file) const {
    return writeNewFile(file, junitXml());
}

}  // namespace run
