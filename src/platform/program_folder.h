#pragma once
// The folder of the running executable, always ending in '/'. Tests and
// portable installs can point it elsewhere: SetProgramFolder, or the
// environment variable TARNWICK_PROGRAM_FOLDER.
#include <string>

namespace platform {

std::string ProgramFolder();
// An empty folder restores the default. A missing trailing '/' is added.
void SetProgramFolder(const std::string& folder);

}  // namespace platform
