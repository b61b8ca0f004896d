// CONFIG.CFG beside the program: settings as "KEY=value" lines, read and updated in place.
//
// The file is 8-bit text in the narrow code page with CR LF line ends. A line "END" closes
// the settings; a key added by GetConfig goes before it. Lines that carry no setting
// (comments, blank lines) pass through both operations unchanged. Keys and values are
// narrow text, taken as bytes; keys are upper-cased (ASCII letters only) when written.
//
// Both writers replace the file atomically: the new text goes to a temporary file in the
// same directory, is flushed to disk and renamed over the file, which keeps its permission
// bits. A failed write raises EFCreateError 'Cannot create file "<path>". <reason>' and
// leaves the old file and no temporary file behind.
#pragma once

#include <string>

namespace trs {

// The reader's line limit: 255 bytes with the CR LF, so 253 bytes of text. The reader keeps
// the start of a longer line (never splitting a character) and skips the rest of it.
constexpr size_t ConfigLineTextLimit = 253;

// ProgramDirectory() + "CONFIG.CFG".
std::string ConfigFileName();

// The value of the first line whose start matches `key` without regard to case (a prefix
// test: the key "PORT" also matches "PORTAL=1"): the text after the line's first "=", with
// trailing characters of code 32 or below removed; empty for a matching line without "=".
// When no line matches, the file gains the line "KEY=" before its first "END" line (END
// moves to the end of the file) and the result is empty. A file that cannot be opened is
// reported in an information box and gives an empty result; nothing is created.
// An empty `fileName` means ConfigFileName().
std::string GetConfig(const std::string& key, const std::string& fileName = "");

// Replaces the last line whose name (the text before its first "=", blanks included) equals
// `key` without regard to case by "KEY=value", then writes the file back with CR LF line
// ends, whether or not a line matched; a missing key is not added. A missing file raises
// EFOpenError 'Cannot open file "<path>". <reason>' and is not created.
void SetConfig(const std::string& key, const std::string& value);
void SetConfigIn(const std::string& fileName, const std::string& key, const std::string& value);

}  // namespace trs
