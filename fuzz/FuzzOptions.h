#pragma once

#include <cstddef>

namespace fuzz {

// The longest input a target reads; longer ones are passed over. Formulas and batches of this
// size are what the editor and the tool meet at most, so the targets are run with inputs up to
// it (-max_len defaults to it, see FuzzOptions.cpp).
inline constexpr std::size_t MaxInput = 64 * 1024;

} // namespace fuzz
