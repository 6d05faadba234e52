#pragma once
// The information icon drawn right of the IP box: a complete 18 x 18 GIF89a file
// (32-entry colour table, entry 27 transparent), made by scripts/make-info-icon.py.
#include <cstddef>

namespace oz {

extern const unsigned char iconGifBytes[];
extern const std::size_t iconGifSize;

}  // namespace oz
