// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file version of the running executable and where it lives.

#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::platform {

// The four-part version built into the program, as two 32-bit words (a.b in `most`, c.d in
// `least`). False when the build carries no valid version.
bool GetModuleVersion(std::uint32_t& most, std::uint32_t& least);

// "a.b.c.d", or "?.?.?.?" when there is no version.
std::string VersionString();

// Reads a version text of exactly four decimal numbers 0..65535 joined by "." into the two words.
// False, with the words untouched, for every other text.
bool ParseFileVersion(std::string_view text, std::uint32_t& most, std::uint32_t& least);

// The folder of the running executable, ending with "/"; empty when the system does not tell.
std::string ExecutableFolder();

} // namespace qlm::platform
