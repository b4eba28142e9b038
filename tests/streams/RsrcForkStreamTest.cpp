// RsrcForkReader and RsrcForkWriter over every fork store.
#include <functional>

#include "platform/Exceptions.h"
#include "platform/ForkStoreTesting.h"
#include "streams/RsrcForkReader.h"
#include "streams/RsrcForkWriter.h"

using forktest::StoreTest;

namespace {

void writeFork(const FolderItem& f, const std::string& bytes, size_t chunk = 16384) {
  RsrcForkWriter w(f);
  ASSERT_TRUE(w.Open());
  for (size_t at = 0; at < bytes.size(); at += chunk) ASSERT_TRUE(w.Write(bytes.substr(at, chunk)));
  ASSERT_TRUE(w.Close());
}

std::string readAll(const FolderItem& f) {
  RsrcForkReader r(f);
  if (!r.Open()) return "<open failed>";
  std::string all;
  for (std::string part; !(part = r.Read(16384)).empty();) all += part;
  return all;
}

}  // namespace

using RsrcForkStreams = StoreTest;

TEST_P(RsrcForkStreams, ReadsAForkInRequestsOfSixteenK) {
  FolderItem f = MakeFile("doc", "data fork");
  std::string fork = forktest::PatternBytes(40000);
  writeFork(f, fork, 10000);
  EXPECT_EQ(f.ResourceForkLength(), 40000);

  RsrcForkReader r(f);
  ASSERT_TRUE(r.Open());
  std::string got;
  for (size_t expected : {16384u, 16384u, 7232u}) {
    EXPECT_FALSE(r.Eof());
    std::string part = r.Read(16384);
    EXPECT_EQ(part.size(), expected);
    got += part;
  }
  EXPECT_EQ(r.Read(16384), "");
  EXPECT_TRUE(r.Eof());
  EXPECT_FALSE(r.HadError());
  EXPECT_EQ(got, fork);

  // Reopening starts again at the beginning.
  r.Close();
  EXPECT_TRUE(r.Eof());
  ASSERT_TRUE(r.Open());
  EXPECT_EQ(r.Read(5), fork.substr(0, 5));
}

TEST_P(RsrcForkStreams, AFileWithoutAForkGivesAnEmptyOne) {
  FolderItem f = MakeFile("plain.txt", "data");
  RsrcForkReader r(f);
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.Eof());
  EXPECT_EQ(r.Read(16384), "");
  EXPECT_FALSE(r.HadError());
  EXPECT_FALSE(StoresAnything());
}

TEST_P(RsrcForkStreams, OpeningAWriterEmptiesTheForkEvenWithNothingWritten) {
  FolderItem f = MakeFile("doc");
  writeFork(f, "old resource fork");
  RsrcForkWriter w(f);
  ASSERT_TRUE(w.Open());
  EXPECT_TRUE(w.Flush());
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(f.ResourceForkLength(), 0);
  EXPECT_EQ(readAll(f), "");
  EXPECT_FALSE(StoresAnything()) << "a sidecar holding nothing is removed";
  EXPECT_TRUE(w.Close()) << "closing twice";
}

TEST_P(RsrcForkStreams, WritingTheForkKeepsTheFinderInformation) {
  FolderItem f = MakeFile("doc.txt");
  ASSERT_TRUE(f.SetMacCreator("R*ch"));
  writeFork(f, "fork");
  EXPECT_EQ(f.MacType(), "TEXT");
  EXPECT_EQ(f.MacCreator(), "R*ch");
  writeFork(f, "");
  EXPECT_EQ(f.MacCreator(), "R*ch");
}

TEST_P(RsrcForkStreams, SkipsFollowTheReaderAndWriterRules) {
  FolderItem f = MakeFile("doc");
  writeFork(f, "0123456789");
  RsrcForkReader r(f);
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.Skip(3));
  EXPECT_EQ(r.Read(2), "34");
  EXPECT_FALSE(r.Skip(100));
  EXPECT_FALSE(r.HadError()) << "a skip past the end records no error";
  EXPECT_TRUE(r.Eof());
  EXPECT_EQ(r.Read(1), "");
  r.Close();
  ASSERT_TRUE(r.Open());
  EXPECT_FALSE(r.Skip(-1));
  EXPECT_TRUE(r.HadError());
  EXPECT_EQ(r.Read(2), "") << "an error blocks reading";
  r.ClearError();
  EXPECT_EQ(r.Read(2), "01") << "the bad skip left the position alone";

  RsrcForkWriter w(f);
  ASSERT_TRUE(w.Open());
  ASSERT_TRUE(w.Write("abcdef"));
  EXPECT_FALSE(w.Skip(1)) << "past the end of the fork";
  ASSERT_TRUE(w.Skip(-4));
  ASSERT_TRUE(w.Write("XY"));
  ASSERT_TRUE(w.Close());
  EXPECT_EQ(readAll(f), "abXYef");
}

TEST_P(RsrcForkStreams, FailuresKeepTheFileManagerCode) {
  FolderItem missing(dir / "missing");
  int32_t code = 0;
  std::string text;
  RsrcForkReader r(missing);
  EXPECT_FALSE(r.Open());
  r.GetErrorDescription(code, text);
  EXPECT_EQ(code, ForkErr::fnfErr);
  EXPECT_EQ(text, "open or read error (-43)");
  EXPECT_TRUE(r.HadError());
  EXPECT_EQ(r.Read(10), "");

  RsrcForkWriter w(missing);
  EXPECT_FALSE(w.Open());
  w.GetErrorDescription(code, text);
  EXPECT_EQ(code, ForkErr::fnfErr);
  EXPECT_EQ(text, "open or write error");
  EXPECT_FALSE(w.Write("x"));
  EXPECT_FALSE(w.Close()) << "the error outlives Close";

  FolderItem locked = MakeFile("locked");
  writeFork(locked, "fork");
  ASSERT_TRUE(locked.SetLocked(true));
  RsrcForkWriter lw(locked);
  EXPECT_FALSE(lw.Open());
  lw.GetErrorDescription(code, text);
  EXPECT_EQ(code, ForkErr::permErr);
  EXPECT_EQ(readAll(locked), "fork") << "a locked file's fork can still be read";

  // No item at all: false, and nothing recorded.
  RsrcForkReader none{FolderItem()};
  EXPECT_FALSE(none.Open());
  EXPECT_FALSE(none.HadError());
  RsrcForkWriter neverOpened{FolderItem()};
  EXPECT_TRUE(neverOpened.Close());
  int32_t noCode = 5;
  neverOpened.GetErrorDescription(noCode, text);
  EXPECT_EQ(noCode, 0);
  EXPECT_EQ(text, "");
}

TEST_P(RsrcForkStreams, ClosedStreamsRefuseWork) {
  FolderItem f = MakeFile("doc");
  RsrcForkReader r(f);
  EXPECT_THROW(r.Read(1), RuntimeException);
  EXPECT_THROW(r.Skip(1), RuntimeException);
  RsrcForkWriter w(f);
  EXPECT_THROW(w.Write("x"), RuntimeException);
  EXPECT_THROW(w.Skip(1), RuntimeException);
  EXPECT_THROW(w.Flush(), RuntimeException);
}

INSTANTIATE_TEST_SUITE_P(Stores, RsrcForkStreams, ::testing::ValuesIn(forktest::StoreNames()));

// A write that fails half-way, on the fault-injecting store.
TEST(RsrcForkWriterFaults, AFailedWriteIsReportedAndLosesNothing) {
  testsupport::TempDir dir;
  auto memory = std::make_shared<MemoryForkStore>();
  ForkStore::Install(memory);
  testsupport::WriteFile(dir / "doc", "");
  FolderItem f(dir / "doc");
  writeFork(f, "old fork");
  ASSERT_TRUE(f.SetMacType("APPL"));

  struct Case {
    const char* what;
    std::function<void()> inject;
    int32_t code;
  };
  const Case cases[] = {
      {"write error", [&] { memory->InjectFault(MemoryForkStore::Op::Write, ForkErr::ioErr, 1); },
       ForkErr::ioErr},
      {"disk full", [&] { memory->SetWriteLimit(20000); }, ForkErr::dskFulErr},
      {"disk full at once", [&] { memory->SetWriteLimit(100); }, ForkErr::dskFulErr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.inject();
    RsrcForkWriter w(f);
    ASSERT_TRUE(w.Open());
    std::string chunk = forktest::PatternBytes(16384);
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) ok = w.Write(chunk);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(w.Write("more")) << "an error blocks writing";
    EXPECT_FALSE(w.Flush());
    EXPECT_FALSE(w.Close());
    int32_t code = 0;
    std::string text;
    w.GetErrorDescription(code, text);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(text, "open or write error");
    EXPECT_EQ(readAll(f), "old fork");
    EXPECT_EQ(f.MacType(), "APPL");
    memory->ClearFaults();
  }

  // Failing to open: the code is kept and the fork is untouched.
  memory->InjectFault(MemoryForkStore::Op::OpenForWriting, ForkErr::tmfoErr);
  RsrcForkWriter w(f);
  EXPECT_FALSE(w.Open());
  EXPECT_FALSE(w.Close());
  memory->InjectFault(MemoryForkStore::Op::Read, ForkErr::ioErr);
  RsrcForkReader r(f);
  ASSERT_TRUE(r.Open());
  EXPECT_EQ(r.Read(100), "");
  EXPECT_TRUE(r.HadError());
  int32_t code = 0;
  std::string text;
  r.GetErrorDescription(code, text);
  EXPECT_EQ(text, "open or read error (-36)");
  EXPECT_EQ(readAll(f), "old fork");
  ForkStore::Install(nullptr);
}
