// Reading the files ldt-run is given (scripts, traces, pack files) and
// writing the one it makes (JUnit XML), safely: what is read must be a
// regular file no larger than a limit, opened so that a FIFO planted under
// the name cannot block the run; what is written is a new private file
// (0600), and a symbolic link under the name is refused rather than
// followed. Errors come back as a message naming the file and the reason.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <variant>

namespace run {

// The whole file, or the message that says why it cannot be read.
struct FileText {
    std::string text;
    std::string error;  // empty when read
};
FileText readTextFile(const std::filesystem::path& file, std::size_t limit);

// Replaces the file's content with `text` (creating it 0600); returns an
// empty string, or why it could not be written.
std::string writeNewFile(const std::filesystem::path& file, const std::string& text);

}  // namespace run
