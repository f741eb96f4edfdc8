// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as anyone may have left it: read, asked, changed and written back.

#include "platform/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qlm::platform::IniText ini(std::string(reinterpret_cast<const char*>(data), size));
    (void)ini.Get("Settings", "Dir", "");
    (void)ini.Get("Settings", "Keywords", "1");
    (void)ini.Set("Settings", "Dir", "/home/benutzer/Bilder/");
    (void)ini.Set("Neu", "Schluessel", "Wert");
    const std::string written = ini.Bytes();
    qlm::platform::IniText again(written);
    (void)again.Get("Settings", "Dir", "");
    return 0;
}
