#pragma once
// Which entries a list row covers: a file row the entries whose raw path
// equals its own, a folder row (raw path ending in "/") the folder entry and
// everything below it. Raw paths compare without regard to case. The desktop
// commands and the command-line tool select entries with the same rule.
#include <string_view>

bool RowCovers(std::string_view rowRawPath, std::string_view entryRawPath);
