// The user's device configuration file as identify edits it: one entry
// added, or replaced when the name is there already, every other line kept
// as it was, and the previous content kept in a backup file beside it.
//
// The new content is read back and checked before anything is written;
// then the backup is made, and the new content written to a temporary file
// and renamed over the old one, so the file is never half written. Plain
// functions; not for concurrent use on the same file.
#pragma once

#include "model/LineSettings.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace devices {

// The user's file: ${XDG_CONFIG_HOME:-$HOME/.config}/linedisplaytest/devices.toml.
std::filesystem::path userConfigFile();

// The TOML text of a serial display's entry, a comment line under its header.
std::string entryText(const std::string& name, const std::string& port, const model::LineSettings& line,
    std::string_view commandSet, std::string_view comment);

// Adds or replaces the entry `name` with `entry`; returns the backup's path
// (empty when there was no file before). Throws std::runtime_error naming
// the file and the reason.
std::filesystem::path saveEntry(
    const std::filesystem::path& file, const std::string& name, const std::string& entry);

}  // namespace devices
