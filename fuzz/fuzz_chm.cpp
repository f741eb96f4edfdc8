// SPDX-License-Identifier: GPL-3.0-or-later
// A help file of any content, opened and read the way the viewer does: its facts, its context
// map, its contents, its start page and a context's topic (the viewer never lists the
// whole archive). It is refused or read, never a crash.

#include "help/viewer/chm_file.h"
#include "help/viewer/chm_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // chmlib opens by name: the bytes go to a file in memory, named through /proc.
    const int fd = ::memfd_create("help", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
        if (auto file = qlm::help::ChmFile::Open("/proc/self/fd/" + std::to_string(fd))) {
            (void)file->Read(file->System().default_topic);
            if (const auto contents = file->Read(file->System().contents_file))
                (void)qlm::help::ParseContents(*contents);
            if (const auto topic = file->TopicOfContext(10000))
                (void)file->Read(*topic);
            (void)file->Has("/index.html");
        }
    }
    ::close(fd);
    return 0;
}
