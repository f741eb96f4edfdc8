#pragma once
// The file version of the running executable and where it lives.

#include <cstdint>
#include <string>

namespace qlm::platform {

// The four-part version built into the program, as two 32-bit words (a.b in `most`, c.d in
// `least`). False when the build carries no valid version.
bool GetModuleVersion(std::uint32_t& most, std::uint32_t& least);

// "a.b.c.d", or "?.?.?.?" when there is no version.
std::string VersionString();

// The folder of the running executable, ending with "/".
std::string ExecutableFolder();

} // namespace qlm::platform
