// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/publish_target.h"

#include "platform/folder_ops.h"
#include "platform/globals.h"

#include <cerrno>

namespace qlm {

namespace {

PublishTarget Refused(PublishRefusal refusal, int error = 0) {
    PublishTarget result;
    result.refusal = refusal;
    result.error = error;
    return result;
}

// True when the real path `inner` (ending in "/") lies inside `outer` (ending in "/") or is it.
bool WithinOrSame(const std::string& inner, const std::string& outer) {
    return inner.starts_with(outer);
}

// The target's real path, ending in "/", for a target that may not be there yet; `missing` tells.
int RealTargetPath(const std::string& target, std::string& real, bool& missing) {
    std::string full = platform::GetFullPathName(target);
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    missing = false;
    int error = platform::CanonicalPath(full, real);
    if (error == ENOENT && full != "/") {
        // Only the target itself may be missing; its real place is that of its parent.
        const std::string parent = full.substr(0, full.rfind('/') + 1);
        const std::string name = full.substr(parent.size());
        if (name == "." || name == "..")
            return ENOENT;
        error = platform::CanonicalPath(parent, real);
        if (error != 0)
            return error;
        real = platform::AddBackslash(real) + name;
        missing = true;
    }
    if (error == 0)
        real = platform::AddBackslash(real);
    return error;
}

} // namespace

PublishTarget PrepareTarget(const std::string& folder, const std::string& target) {
    PublishTarget result;
    if (const int error = platform::CanonicalPath(folder, result.folder); error != 0)
        return Refused(PublishRefusal::FolderUnusable, error);
    result.folder = platform::AddBackslash(result.folder);
    bool missing = false;
    if (const int error = RealTargetPath(target, result.target, missing); error != 0)
        return Refused(PublishRefusal::TargetUnusable, error);
    if (result.target == result.folder)
        return Refused(PublishRefusal::TargetIsPictureFolder);
    if (WithinOrSame(result.target, result.folder))
        return Refused(PublishRefusal::TargetInsidePictureFolder);
    if (WithinOrSame(result.folder, result.target))
        result.folder_in_target = result.folder.substr(result.target.size());
    if (missing) {
        if (const int error = platform::MakeRealFolder(result.target); error != 0)
            return Refused(
                error == ENOTDIR ? PublishRefusal::TargetIsNoFolder : PublishRefusal::TargetUnusable, error);
    } else if (const int error = platform::CheckRealFolder(result.target); error == ENOTDIR) {
        return Refused(PublishRefusal::TargetIsNoFolder, error);
    } else if (error != 0 && error != ELOOP) {
        return Refused(PublishRefusal::TargetUnusable, error);
    }
    return result;
}

} // namespace qlm
