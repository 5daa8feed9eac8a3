// Message codes: the Japanese text and message-box style of every failure,
// notice and question the programs show the user. One constant table; no
// state, callable from any thread.
#pragma once

#include <cstdint>
#include <string>

// Message-box styles the table gives.
namespace msgstyle {
constexpr uint32_t kWarning = 0x30;      // OK, warning icon
constexpr uint32_t kInformation = 0x40;  // OK, information icon
constexpr uint32_t kQuestion = 0x24;     // Yes/No
constexpr uint32_t kQuestionNo = 0x124;  // Yes/No, No is the default
}  // namespace msgstyle

// The text of `code` (empty when it has none) with the platform error behind
// it, if any, in its code line. *style gets the box style, except for a code
// whose number is 0 (outside category 0x90), which leaves it as it was.
//
// The music manager's rows that hold a name or counts of their own ahead of
// the code (0xFF00BB04, 05, 06, 0A, 13, 15) come back as stored, unformatted:
// their caller fills them in.
std::string GetErrorMessage(uint32_t code, uint32_t* style, uint32_t platform_error);
