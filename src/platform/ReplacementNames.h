// The names of the new files that ReplaceFile writes beside their targets, shared by the
// platforms' forms of WholeFile.
//
// ".~trs-<process id>-<counter>.tmp" in the target's directory: fixed length (so a target
// name at the file system's limit still leaves room), hidden, and marked with the process
// that writes it, so that a later start can tell a crash's leftovers from a save under way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trs {

// A new, not yet used name beside `target` for the process `process`.
std::string ReplacementName(const std::string& target, uint32_t process);

// The process id in a name of ReplacementName's form, or nothing for any other name.
std::optional<uint32_t> ReplacementOwner(std::string_view name);

// Earlier versions named the new file "<target>.<20 hex digits>.tmp", without the process;
// such a file is a leftover once it is older than LegacyLeftoverSeconds.
bool IsLegacyReplacementName(std::string_view name);
inline constexpr int64_t LegacyLeftoverSeconds = 10 * 60;

}  // namespace trs
