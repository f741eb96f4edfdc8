// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The failure of an encoder; what() is the encoder's message, in German like the decoders'.

#include <stdexcept>

namespace qlm {

class EncodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace qlm
