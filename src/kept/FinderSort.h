#pragma once

#include <string>
#include <vector>

namespace kept {

// File names in the order a file browser shows them: numbers by value
// ("file 2" before "file 10"), case and width ignored, accents and
// punctuation significant, in the user's locale. Texts of any length.

// Negative, zero or positive as a sorts before, with or after b. The
// context is not used.
int CompareLikeTheFinder(const std::string& a, const std::string& b, void* context = nullptr);

void SortCFMutableArrayOfCFStringsLikeTheFinder(std::vector<std::string>& array);

}  // namespace kept
