// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/web_copy_folder.h"

#include "core/gallery_names.h"
#include "platform/globals.h"

#include <cerrno>

namespace qlm {

WebCopyFolder::WebCopyFolder(const std::string& folder) : folder_(folder) {
    error_ = opened_.Open(folder_, kWebCopyFolder, false);
}

int WebCopyFolder::Error() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

bool WebCopyFolder::Refused() const {
    return platform::IsNotAFolder(Error());
}

std::string WebCopyFolder::Path() const {
    const std::lock_guard lock(mutex_);
    return opened_.StillThere() ? opened_.Path() : std::string();
}

int WebCopyFolder::Make() {
    const std::lock_guard lock(mutex_);
    // Made once: a folder that was there, or refused, stays what it was for the whole run.
    if (error_ == ENOENT)
        error_ = opened_.Open(folder_, kWebCopyFolder, true);
    if (error_ == 0 && !opened_.StillThere())
        return ELOOP; // its name was given to something else meanwhile
    return error_;
}

std::string WebCopyFolderReason(int error) {
    return platform::IsNotAFolder(error) ? std::string(kWebCopyFolderRefused) : platform::GetErrorText(error);
}

} // namespace qlm
