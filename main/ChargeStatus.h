// The launcher's rules for the charges it shows: the status line's texts by
// status type, the kind table (state image and result types), the result
// word's outcome (state frame, status type, whether a box shows, whether the
// user goes from the user list), the running state image with its blink and
// the dot cells of the running lines. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>

namespace charge {

// Status types of the line under the state images.
constexpr int kStatusNone = 0;
constexpr int kStatusServerCheck = 6;
constexpr int kStatusEjectHint = 60;
constexpr int kStatusAbortHint = 61;
// Types below this are lines the chain owns; a refresh never overwrites a
// hint (40 and above) that is on the line.
constexpr int kFirstHintType = 7;

// State image frames.
constexpr int kFrameIdle = 0;
constexpr int kFrameFailed = 1;
constexpr int kFrameSkipped = 5;  // also "nothing new"
constexpr int kFrameDone = 6;

constexpr int kKindCount = 5;

// The text of a status type; empty for 0 and for every type without one.
std::string StatusTypeText(int type);
// Whether the type is a running line (1 to 6), which gets the dot cells or,
// for the map charge, the progress figures.
inline bool IsRunningType(int type) { return type >= 1 && type <= 6; }
// The running status type of a kind (2 and 32 share the map's), 0 for others.
int RunningStatusType(uint32_t kind);
// The kind's slot (0 probe, 1 map, 2 traffic, 3 weather, 4 music), -1 when
// the kind has no state image.
int KindSlot(uint32_t kind);
// The first result status type of a kind (its "done" text), 0 without a slot.
int FirstResultType(uint32_t kind);

// What a result word (kind << 24 | code) does to the launcher.
struct ResultOutcome {
  int slot = -1;  // the state image to set, -1 none
  int frame = kFrameIdle;
  int status_type = kStatusNone;
  bool shows_box = false;     // the word's text, when it has one
  bool removes_user = false;  // the card's device leaves the user list
  // A yes to the box opens the customer-registration page.
  bool offers_registration = false;
};
ResultOutcome OutcomeOf(uint32_t word);

// The running kind's state image at a tick: percent 100 shows done; else the
// quarter's frame (2 to 5), or one below it when that frame shows (blink).
int RunningFrame(uint32_t percent, int shown_frame);

// The three dot cells of a running line at dot counter `dots` (0..3).
std::string DotCells(int dots);

}  // namespace charge
