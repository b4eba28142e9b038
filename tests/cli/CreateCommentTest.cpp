// pellarc create and pellarc comment.
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "engine/WriteTestSupport.h"


namespace {

TEST(CreateCommand, MakesAnEmptyArchiveAndNeverTouchesAnExistingFile) {
  testsupport::TempDir tmp;
  const std::string zip = (tmp / "new.zip").string();
  const clitest::Outcome made = clitest::Run({"create", zip});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, "");
  ziptest::Archive empty;
  empty.entries.push_back({.name = "/"});
  EXPECT_EQ(testsupport::ReadFile(zip), empty.Build().bytes);

  testsupport::WriteFile(tmp / "other.zip", "not an archive");
  const clitest::Outcome again = clitest::Run({"create", (tmp / "other.zip").string()});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  EXPECT_EQ(testsupport::ReadFile(tmp / "other.zip"), "not an archive");

  const clitest::Outcome nowhere = clitest::Run({"create", (tmp / "no" / "such" / "dir.zip").string()});
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_NE(nowhere.err.find("Creating the archive file failed"), std::string::npos) << nowhere.err;
}

TEST(CommentCommand, PrintsSetsAndClearsTheArchiveComment) {
  testsupport::TempDir tmp;
  const std::string zip = (tmp / "a.zip").string();
  ASSERT_EQ(clitest::Run({"create", zip}).status, 0);
  EXPECT_EQ(clitest::Run({"comment", zip}).out, "");

  const clitest::Outcome set = clitest::Run({"comment", zip, "made on a Mac \xE2\x8C\x98"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(clitest::Run({"comment", zip}).out, "made on a Mac \xE2\x8C\x98\n");
  // The comment ends the file, as its bytes.
  const std::string bytes = testsupport::ReadFile(zip);
  const std::string comment = "made on a Mac \xE2\x8C\x98";
  EXPECT_EQ(bytes.substr(bytes.size() - comment.size()), comment);

  // What comes from the archive is escaped for the terminal.
  ASSERT_EQ(clitest::Run({"comment", zip, "bell\x07"}).status, 0);
  EXPECT_EQ(clitest::Run({"comment", zip}).out, "bell\\x07\n");

  ASSERT_EQ(clitest::Run({"comment", zip, ""}).status, 0);
  EXPECT_EQ(clitest::Run({"comment", zip}).out, "");
  EXPECT_EQ(testsupport::ReadFile(zip).size(), 100u);
  std::string output;
  EXPECT_EQ(writetest::RunLogged(tmp, "unzip -t " + writetest::Quote(zip), output), 0) << output;
}

TEST(CommentCommand, ReportsWhatItCannotDo) {
  testsupport::TempDir tmp;
  const std::string zip = (tmp / "a.zip").string();
  ASSERT_EQ(clitest::Run({"create", zip}).status, 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"comment"}, 2, "comment needs an archive"},
      {{"comment", zip, "a", "b"}, 2, "too many arguments"},
      {{"comment", (tmp / "missing.zip").string()}, 2, "Opening the archive file failed"},
      {{"comment", (tmp / "missing.zip").string(), "x"}, 2, "no such archive"},
      {{"comment", zip, std::string(65536, 'x')}, 2, "Comment is longer than 65535 bytes"},
      {{"create"}, 2, "create needs an archive"},
      {{"create", zip, zip}, 2, "too many arguments"},
  };
  for (const auto& c : cases) {
    const clitest::Outcome o = clitest::Run(c.args);
    EXPECT_EQ(o.status, c.status) << c.message;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
  }
  EXPECT_EQ(testsupport::ReadFile(zip).size(), 100u);
  // Setting a comment never creates an archive.
  EXPECT_FALSE(std::filesystem::exists(tmp / "missing.zip"));
}

}  // namespace
