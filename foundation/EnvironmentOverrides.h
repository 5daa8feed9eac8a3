// The environment variables the shipped programs read, all of them. Each one
// exists for tests that start a real program (the core, the launcher) and
// have no other way to hand it a value; unset or empty, the program behaves
// as it ships. Stateless; any thread.
#pragma once

#include <string>

// Replaces the application-data folder as the data root, so that every
// program of one test keeps its settings, data and logs in the test's folder.
constexpr char kOverrideDataRoot[] = "OV_DATA_ROOT";
// Replaces the download folder on the system drive, which a test must not
// fill.
constexpr char kOverrideDownloadFolder[] = "OV_DOWNLOAD_FOLDER";
// Names the connection file read in place of "Connection.info" beside the
// program, so that a started program talks to the test's own stand-in
// routes.
constexpr char kOverrideConnectionInfo[] = "OV_CONNECTION_INFO";
// Narrows the search for the unit's cards from D..Z to these letters ("EF"),
// so that test programs running side by side each see only their own card.
constexpr char kOverrideCardDrives[] = "OV_CARD_DRIVES";
// Replaces the install folder of the registry (one value per Wine prefix), so
// that a test starts the core and the music manager from a folder of its
// own: the product's programs, a test host named as the core, or a recorder.
constexpr char kOverrideInstallDir[] = "OV_INSTALL_DIR";
// "1" removes the map charge's pauses between phases (meant for a person
// watching the main program), so that tests running a real core do not sit
// through them.
constexpr char kOverrideNoPhasePause[] = "OV_TEST_NO_PHASE_PAUSE";
// "<total>,<free>" in bytes replaces what the map charge reads of the
// card's size and room, so that a test running a real core does not depend
// on the size of the disk that holds its card folder.
constexpr char kOverrideCardSpace[] = "OV_TEST_CARD_SPACE";

// The variable's value (code page 932); empty when it is not set.
std::string GetEnvironmentOverride(const char* name);
