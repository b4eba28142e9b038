#pragma once
// Texts the archive window shows: byte counts, the statistics line, and the
// captions that follow the selection.
#include <string>
#include <vector>

#include "app/core/ListRow.h"

// A byte count: "2047 Bytes", "2.0 KB", "2048.0 KB", "2.0 MB".
std::string bytes(double x);

// A percentage with at most two decimals and none that say nothing:
// 60.9375 gives "60.94", 50 gives "50", 0 gives "0".
std::string FormatPercent(double value);

// The statistics line under the list, summed over the rows' byte counts.
std::string StatisticsText(const std::vector<ListRow>& rows);

// The caption of the extract command for a number of selected rows.
std::string ExtractCaption(int selectedRows);
