// The main program's "Uninstall" argument: removes the program's own data
// folder and nothing beside it. Any thread; changes the process's current
// folder.
#pragma once

#include <string>

// The folder "Uninstall" may empty: the data root when it is the product's
// own folder (ending in the maker's and the product's folders) or a root
// the environment chose (from_environment, OV_DATA_ROOT), never a drive root
// or the shared fallback folder that the root falls back to when the
// system names no application-data folder. Empty: delete nothing.
std::string ChooseUninstallFolder(const std::string& root, bool from_environment);

// Logs the request with the data root and empties the folder that
// ChooseUninstallFolder allows; false when nothing was deleted.
bool UninstallData();
