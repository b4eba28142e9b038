// The global --forks option, and how list and info show Macintosh blocks.
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "cli/JsonReader.h"
#include "platform/ForkStore.h"
#include "support/TestSupport.h"

namespace {

class ForksOption : public ::testing::Test {
 protected:
  void SetUp() override {
    ForkStore::Install(nullptr);
    testsupport::WriteFile(dir_ / "sample.zip", clitest::SampleArchive().Build().bytes);
  }
  // The store is the process's: what a run selected must not leak into other
  // tests.
  void TearDown() override { ForkStore::Install(nullptr); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  testsupport::TempDir dir_;
};

TEST_F(ForksOption, SelectsTheStore) {
  const struct {
    std::vector<std::string> options;
    std::string store;
  } cases[] = {
      {{}, "appledouble"},
      {{"--forks=extfs"}, "extfs"},
      {{"--forks", "extfs"}, "extfs"},
      {{"--forks=appledouble"}, "appledouble"},
  };
  for (const auto& c : cases) {
    ForkStore::Install(nullptr);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"list", path("sample.zip")});
    clitest::Outcome r = clitest::Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ForkStore::Current()->Name(), c.store);
  }
}

TEST_F(ForksOption, BadValueIsAUsageError) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--forks=resource", "list", path("sample.zip")},
       "pellarc: unknown fork store \"resource\" (use --forks=appledouble|extfs)\n"},
      {{"--forks=", "list", path("sample.zip")}, "unknown fork store \"\""},
      {{"--forks"}, "option --forks needs a value"},
  };
  for (const auto& c : cases) {
    clitest::Outcome r = clitest::Run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ForkStore::Current()->Name(), "appledouble");
  }
}

// Blocks whose name is in the archive's encoding, and malformed ones.
class MacBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    ziptest::Archive a;
    // "Café" with é in DOS Latin US.
    a.entries.push_back({.name = "cafe", .data = "x",
                         .extra = ziptest::Block(0x2605, std::string("ZPIT\x04" "Caf\x82") +
                                                             "APPLR*ch")});
    // Too short for the long form it claims to be.
    a.entries.push_back({.name = "short", .extra = ziptest::Block(0x2605, "ZPITTEXTttxt")});
    // A name length running past its block.
    a.entries.push_back({.name = "overrun",
                         .extra = ziptest::Block(0x2605, std::string("ZPIT\x20") + "abTEXTttxt") +
                                  ziptest::Block(0x5455, std::string(20, 'z'))});
    testsupport::WriteFile(dir_ / "mac.zip", a.Build().bytes);
  }
  std::string path() const { return (dir_ / "mac.zip").string(); }
  testsupport::TempDir dir_;
};

TEST_F(MacBlocks, InfoShowsTypeCreatorAndName) {
  clitest::Outcome r = clitest::Run({"info", path(), "cafe"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Type/creator:         APPL/R*ch\n"
                       "Macintosh name:       Caf\xC3\xA9\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("      type APPL, creator R*ch, name Caf\xC3\xA9\n"), std::string::npos)
      << r.out;
}

TEST_F(MacBlocks, MalformedBlocksShowNoCodes) {
  for (const char* entry : {"short", "overrun"}) {
    clitest::Outcome r = clitest::Run({"info", path(), entry});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Type/creator:"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("      type "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  0x2605 Macintosh type/creator and name"), std::string::npos) << r.out;
  }
  clitest::Outcome list = clitest::Run({"list", "--json", path()});
  std::optional<jsontest::Value> parsed = jsontest::Parse(list.out);
  ASSERT_TRUE(parsed) << list.out;
  ASSERT_EQ(parsed->items.size(), 3u);
  EXPECT_EQ(parsed->items[0]["type"].text, "APPL");
  EXPECT_EQ(parsed->items[0]["creator"].text, "R*ch");
  EXPECT_EQ(parsed->items[1]["type"].kind, jsontest::Value::Null);
  EXPECT_EQ(parsed->items[2]["type"].kind, jsontest::Value::Null);
}

}  // namespace
