#include <gtest/gtest.h>

#include "app/core/RowCoverage.h"

TEST(RowCoverage, FileRowsMatchTheirPathAndFolderRowsEverythingBelow) {
  struct Case {
    const char* row;
    const char* entry;
    bool covered;
  };
  const Case cases[] = {
      {"notes", "notes", true},
      {"notes", "NOTES", true},
      {"notes", "notes.txt", false},
      {"notes", "notes/a", false},
      {"Docs/", "Docs/", true},
      {"Docs/", "DOCS/a.txt", true},
      {"Docs/", "Docs/sub/deeper/b", true},
      {"Docs/", "Docs", false},
      {"Docs/", "Documents/x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RowCovers(c.row, c.entry), c.covered) << c.row << " / " << c.entry;
  }
}
