#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>

// The number of bytes in the joined text: what echo_args writes before its
// line feed. No command line reaches INT_MAX, since the kernel caps one at a
// few MB; should a text ever be longer, the count stops there, not wraps.
inline int count(const std::string& text) {
  constexpr auto most = static_cast<std::size_t>(INT_MAX);
  return static_cast<int>(std::min(text.size(), most));
}
