#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>

// The number of bytes in the joined text: what echo_args writes before its
// line feed. A text too long for an int yields INT_MAX instead of wrapping.
inline int count(const std::string& text) {
  constexpr auto most = static_cast<std::size_t>(INT_MAX);
  return static_cast<int>(std::min(text.size(), most));
}
