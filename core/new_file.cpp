// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/new_file.h"

#include "platform/file_ops.h"

#include <atomic>

#include <unistd.h>

namespace qlm {
namespace {

// A name no other write uses: a hidden file beside the new one, unique to this process and call.
// The name may hold a sub-folder; the temporary goes into the same one.
std::string TemporaryPath(const std::string& folder, const std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = name.rfind('/');
    const std::string inner = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    const std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
    return folder + inner + "." + bare + ".qlm-new-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

} // namespace

int WriteNewFile(const std::string& folder, const std::string& name, const std::string& bytes) {
    const std::string temporary = TemporaryPath(folder, name);
    int error = platform::ReplaceFileContents(temporary, bytes, platform::Links::Refuse);
    if (error == 0)
        error = platform::RenameNoReplace(temporary, folder + name);
    if (error != 0)
        ::unlink(temporary.c_str());
    return error;
}

} // namespace qlm
