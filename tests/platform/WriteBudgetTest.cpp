// The simulated crash: a child armed with a budget writes through a stream,
// then cuts the file; what the file holds afterwards shows where it died.
#include "platform/WriteBudget.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "platform/BinaryStream.h"
#include "support/TestSupport.h"

namespace {

TEST(WriteBudget, TheProcessDiesRightAfterTheLastByteItMayWrite) {
  testsupport::TempDir tmp;
  const auto path = tmp / "f.bin";
  const std::string first(25, 'a');
  const std::string second(100000, 'b');  // past the stream's buffer: written directly
  const struct {
    int64_t budget;
    bool killed;
    std::string left;  // the file's contents afterwards
  } cases[] = {
      {0, true, ""},
      {10, true, first.substr(0, 10)},
      // All of the first write, killed before the second.
      {25, true, first},
      {26, true, first + "b"},
      {125, true, first + second.substr(0, 100)},
      // Killed after the last byte, before the cut.
      {25 + 100000, true, first + second},
      // The budget outlasts the writes: the cut happens.
      {25 + 100000 + 1, false, first.substr(0, 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.budget);
    testsupport::WriteFile(path, "");
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      writebudget::Arm(c.budget);
      auto stream = BinaryStream::Open(path, true);
      stream->Write(first);
      stream->Flush();
      stream->Write(second);
      const bool ok = stream->Sync() && stream->SetLength(5);
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (c.killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(testsupport::ReadFile(path), c.left);
  }
}

TEST(WriteBudget, RemainingTellsHowMuchWasWritten) {
  testsupport::TempDir tmp;
  writebudget::Arm(1000);
  {
    auto stream = BinaryStream::Create(tmp / "f.bin");
    stream->Write(std::string(300, 'x'));
    EXPECT_TRUE(stream->Sync());
  }
  EXPECT_EQ(writebudget::Remaining(), 700);
  writebudget::Disarm();
}

}  // namespace
