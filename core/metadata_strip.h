// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a picture keeps when it is published: its pixels exactly as they are stored (a JPEG's
// compressed data is copied, never encoded again), its orientation, its colour profile, and the
// author and copyright notice. Everything that locates or identifies the person or the camera
// goes: GPS and every other place, serial numbers of camera, lens and body, the owner's name,
// maker notes, the embedded preview picture, and comments.

#include <string>
#include <string_view>

namespace qlm {

// The picture file `bytes` (JPEG, PNG or GIF, told by their first bytes, not by a name) as it is
// published. Throws DecodeError (core/picture.h), with a German message, for bytes that are no
// picture of these kinds or whose structure cannot be followed to its end: such a file is never
// published with its metadata.
std::string StripForPublishing(std::string_view bytes);
// The same into `out`, whose memory is used again: publishing many photos then allocates and
// clears no new memory for each.
void StripForPublishing(std::string_view bytes, std::string& out);

} // namespace qlm
