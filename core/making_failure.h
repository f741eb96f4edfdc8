// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the makers of files from pictures (thumbnails, web copies) turn a failure into the reason
// they report: a picture that cannot be decoded, a file that cannot be encoded, too little memory.

#include "core/encode_error.h"
#include "core/picture.h"

#include <new>
#include <optional>
#include <string>

namespace qlm {

// Runs `make` and gives the reason it failed, a sentence for the user; nothing when it did not.
template <typename Make> std::optional<std::string> ReasonMakingFailed(Make&& make) {
    try {
        make();
    } catch (const DecodeError& error) {
        return error.what();
    } catch (const EncodeError& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "Für dieses Bild reicht der Speicher nicht.";
    }
    return std::nullopt;
}

} // namespace qlm
