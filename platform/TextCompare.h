#pragma once
// String comparison without regard to letter case, as the platform's string
// equality works. Strings are UTF-8; letters are folded for ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic, which covers the names classic Mac
// scripts can hold. Bytes that are not UTF-8 compare as they are.
#include <string>
#include <string_view>

// The case-folded (lower-case) form of a UTF-8 string.
std::string FoldCase(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
