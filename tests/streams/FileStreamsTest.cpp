#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "streams/FileReader.h"
#include "streams/FileWriter.h"
#include "support/TestSupport.h"

using testsupport::InChildWithFileSizeLimit;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(FileReader, ReadsTheDataForkInChunks) {
  TempDir tmp;
  WriteFile(tmp / "f", "0123456789");
  FileReader r(FolderItem(tmp / "f"));
  EXPECT_TRUE(r.Eof());  // closed
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.Open());  // a second Open just answers
  EXPECT_EQ(r.Read(4), "0123");
  EXPECT_FALSE(r.Eof());
  EXPECT_EQ(r.Read(100), "456789");
  EXPECT_TRUE(r.Eof());
  EXPECT_EQ(r.Read(100), "");
  EXPECT_FALSE(r.HadError());
  r.Close();
  r.Close();
  EXPECT_TRUE(r.Eof());
}

TEST(FileReader, FailingToOpenIsAnErrorThatSurvivesClose) {
  TempDir tmp;
  FileReader r(FolderItem(tmp / "missing"));
  EXPECT_FALSE(r.Open());
  r.Close();
  EXPECT_TRUE(r.HadError());
  int32_t code = 0;
  std::string text;
  r.GetErrorDescription(code, text);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(text, "open or read error");
  r.ClearError();
  r.GetErrorDescription(code, text);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(text, "");
}

TEST(FileReader, SkipStopsAtTheEnd) {
  TempDir tmp;
  WriteFile(tmp / "f", "0123456789");
  FileReader r(FolderItem(tmp / "f"));
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.Skip(3));
  EXPECT_EQ(r.Read(2), "34");
  EXPECT_FALSE(r.Skip(100));
  EXPECT_TRUE(r.HadError());
  EXPECT_EQ(r.Read(1), "");
  EXPECT_EQ(ReadFile(tmp / "f"), "0123456789");
}

TEST(FileStreams, OperationsOnAClosedStreamRaise) {
  TempDir tmp;
  WriteFile(tmp / "f", "x");
  FileReader r(FolderItem(tmp / "f"));
  EXPECT_THROW(r.Read(1), RuntimeException);
  EXPECT_THROW(r.Skip(1), RuntimeException);
  FileWriter w(FolderItem(tmp / "g"));
  EXPECT_THROW(w.Write("x"), RuntimeException);
  EXPECT_THROW(w.Skip(1), RuntimeException);
  EXPECT_THROW(w.Flush(), RuntimeException);
  EXPECT_TRUE(w.Close());  // never opened
}

TEST(FileWriter, EmptiesTheForkAndWritesExactlyWhatItIsGiven) {
  TempDir tmp;
  WriteFile(tmp / "f", "old contents that are longer");
  FileWriter w(FolderItem(tmp / "f"));
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(FolderItem(tmp / "f").Length(), 0);
  EXPECT_TRUE(w.Write("new"));
  EXPECT_TRUE(w.Write(""));
  EXPECT_TRUE(w.Flush());
  EXPECT_TRUE(w.Close());
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(ReadFile(tmp / "f"), "new");
}

TEST(FileWriter, CreatesAMissingFileAndHandlesEmptyOutput) {
  TempDir tmp;
  FileWriter w(FolderItem(tmp / "new"));
  ASSERT_TRUE(w.Open());
  EXPECT_TRUE(w.Close());
  EXPECT_TRUE(FolderItem(tmp / "new").Exists());
  EXPECT_EQ(FolderItem(tmp / "new").Length(), 0);
  EXPECT_EQ(w.Written(), 0);
}

TEST(FileWriter, CannotOpenInAMissingFolder) {
  TempDir tmp;
  FileWriter w(FolderItem(tmp / "no" / "f"));
  EXPECT_FALSE(w.Open());
  int32_t code = 0;
  std::string text;
  w.GetErrorDescription(code, text);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(text, "open or write error");
}

TEST(FileWriter, SkipCountsAndExtends) {
  TempDir tmp;
  FileWriter w(FolderItem(tmp / "f"));
  ASSERT_TRUE(w.Open());
  w.Write("ab");
  EXPECT_TRUE(w.Skip(3));
  w.Write("c");
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(ReadFile(tmp / "f"), std::string("ab\0\0\0c", 6));
}

// A full disk, for real: the child process may not grow a file past 4096
// bytes. The writer must notice at Close.
TEST(FileWriter, NoticesAShortWriteAtClose) {
  TempDir tmp;
  auto path = tmp / "f";
  EXPECT_EQ(InChildWithFileSizeLimit(4096, [&] {
              FileWriter w{FolderItem(path)};
              if (!w.Open()) return 2;
              for (int i = 0; i < 4; ++i) w.Write(std::string(16384, 'q'));
              bool flushed = w.Flush();
              bool closed = w.Close();
              int32_t code = 0;
              std::string text;
              w.GetErrorDescription(code, text);
              return !flushed && !closed && code == -1 && text == "open or write error" ? 0 : 1;
            }),
            0);
}
