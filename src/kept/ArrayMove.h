#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kept {

// Moves the element at `from` to `to`, shifting the ones in between by one
// towards `from`. Equal indexes, or either outside the array, change nothing.
// Always answers 0.
template <class T>
std::int32_t MoveArrayItem(std::vector<T>& array, std::int32_t from, std::int32_t to) {
    const auto count = static_cast<std::int64_t>(array.size());
    if (from == to || from < 0 || to < 0 || from >= count || to >= count) {
        return 0;
    }
    const auto first = array.begin();
    if (from > to) {
        std::rotate(first + to, first + from, first + from + 1);
    } else {
        std::rotate(first + from, first + from + 1, first + to + 1);
    }
    return 0;
}

}  // namespace kept
