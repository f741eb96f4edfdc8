// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a file the program makes from scratch (a thumbnail, a web copy) without ever replacing
// one that exists, also not one another maker puts there at the same time.

#include <string>

namespace qlm {

// Writes `bytes` as `folder` + `name` (folder ending in "/") unless that name is taken. The whole
// file is written and flushed under a hidden temporary name and then given its own name only if
// that is still free, so that a crash leaves no half file a later run would take as made. Gives 0,
// EEXIST when the name was taken (nothing written), or the error that stopped the write.
int WriteNewFile(const std::string& folder, const std::string& name, const std::string& bytes);

} // namespace qlm
