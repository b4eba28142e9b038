// pellarc list and info: their output for a known archive, and their exit
// status and messages when something is wrong.
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "cli/JsonReader.h"
#include "support/TestSupport.h"

namespace {

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(dir_ / "sample.zip", clitest::SampleArchive().Build().bytes);
    testsupport::WriteFile(dir_ / "not a zip.txt", "just some text, long enough to search");
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  testsupport::TempDir dir_;
};

TEST_F(Commands, ListTable) {
  clitest::Outcome r = clitest::Run({"list", path("sample.zip")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "      Size  Compressed  Method     Date        Time      Type/Crea  Path\n"
            "         5           5  Stored     2024-01-02  13:45:10  TEXT/ttxt  notes.txt\n"
            "         0           0  Stored     -                                Photos/\n"
            "      1000           3  Deflated   2024-01-02  13:45:10             Photos/bell\\x07.jpg\n"
            "2147483648           4  BZip2      2024-01-02  13:45:10             secret.bin\n"
            "         0           0  Stored     2024-01-02  13:45:10             Gr\xC3\xBC\xC3\x9F" "e.txt\n"
            "----------  ----------                                              ----------\n"
            "2147484653          12                                              5 entries\n");
}

TEST_F(Commands, ListJson) {
  clitest::Outcome r = clitest::Run({"list", "--json", path("sample.zip")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::optional<jsontest::Value> parsed = jsontest::Parse(r.out);
  ASSERT_TRUE(parsed) << r.out;
  ASSERT_EQ(parsed->kind, jsontest::Value::Array);
  ASSERT_EQ(parsed->items.size(), 5u);
  const std::vector<std::string> keys = {
      "index",    "path",         "size",      "compressed_size", "method", "crc32", "time",
      "is_directory", "encrypted", "can_extract", "type",          "creator", "comment"};
  for (const jsontest::Value& item : parsed->items) EXPECT_EQ(item.order, keys);

  const jsontest::Value& notes = parsed->items[0];
  EXPECT_EQ(notes["index"].number, 1);
  EXPECT_EQ(notes["path"].text, "notes.txt");
  EXPECT_EQ(notes["size"].number, 5);
  EXPECT_EQ(notes["crc32"].text, "3610a686");
  EXPECT_EQ(notes["time"].text, "2024-01-02T13:45:10");
  EXPECT_EQ(notes["type"].text, "TEXT");
  EXPECT_EQ(notes["creator"].text, "ttxt");
  EXPECT_EQ(notes["comment"].text, "say \"hi\"");
  EXPECT_TRUE(notes["can_extract"].boolean);

  const jsontest::Value& folder = parsed->items[1];
  EXPECT_EQ(folder["time"].kind, jsontest::Value::Null);
  EXPECT_EQ(folder["type"].kind, jsontest::Value::Null);
  EXPECT_TRUE(folder["is_directory"].boolean);
  EXPECT_FALSE(folder["can_extract"].boolean);

  // The control character comes back as itself once the JSON is read.
  EXPECT_EQ(parsed->items[2]["path"].text, "Photos/bell\x07.jpg");
  EXPECT_NE(r.out.find("bell\\u0007.jpg"), std::string::npos);

  const jsontest::Value& secret = parsed->items[3];
  EXPECT_EQ(secret["size"].number, 2147483648.0);
  EXPECT_EQ(secret["method"].number, 12);
  EXPECT_EQ(secret["crc32"].text, "deadbeef");
  EXPECT_TRUE(secret["encrypted"].boolean);
  EXPECT_FALSE(secret["can_extract"].boolean);

  EXPECT_EQ(parsed->items[4]["path"].text, "Gr\xC3\xBC\xC3\x9F" "e.txt");
}

TEST_F(Commands, ListOfAnEmptyArchive) {
  ziptest::Archive a;
  a.entries.push_back({.name = "x"});
  ziptest::Built b = a.Build();
  // The same bytes, but a directory of no records.
  ziptest::Put16(b.bytes, b.endRecordOffset + 8, 0);
  ziptest::Put16(b.bytes, b.endRecordOffset + 10, 0);
  ziptest::Put32(b.bytes, b.endRecordOffset + 12, 0);
  testsupport::WriteFile(dir_ / "empty.zip", b.bytes);
  clitest::Outcome json = clitest::Run({"list", "--json", path("empty.zip")});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out, "[]\n");
  clitest::Outcome table = clitest::Run({"list", path("empty.zip")});
  EXPECT_EQ(table.status, 0);
  EXPECT_NE(table.out.find("0 entries"), std::string::npos);
}

TEST_F(Commands, ImpossibleStampsAreCarriedOver) {
  // 30 February 2024 25:61:62 is what Time() makes of it: 2 March, 02:02:02.
  ziptest::Archive a;
  a.entries.push_back({.name = "odd", .time = 25 << 11 | 61 << 5 | 31,
                       .date = (2024 - 1980) << 9 | 2 << 5 | 30});
  testsupport::WriteFile(dir_ / "odd.zip", a.Build().bytes);
  clitest::Outcome r = clitest::Run({"list", "--json", path("odd.zip")});
  std::optional<jsontest::Value> parsed = jsontest::Parse(r.out);
  ASSERT_TRUE(parsed) << r.out;
  EXPECT_EQ(parsed->items.at(0)["time"].text, "2024-03-02T02:02:02");
}

TEST_F(Commands, Info) {
  clitest::Outcome r = clitest::Run({"info", path("sample.zip"), "notes.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Path:                 notes.txt\n"
            "Name:                 notes.txt\n"
            "Index:                1\n"
            "Folder:               no\n"
            "Size:                 5\n"
            "Compressed size:      5\n"
            "Method:               0 (Stored)\n"
            "CRC-32:               3610a686\n"
            "Modified:             2024-01-02 13:45:10\n"
            "Encrypted:            no\n"
            "Can extract:          yes\n"
            "Text file:            yes\n"
            "Made by:              0 (MS-DOS), version 2.0\n"
            "Version needed:       2.0\n"
            "Flags:                0x0000\n"
            "Internal attributes:  0x0001\n"
            "External attributes:  0x00000000\n"
            "Local header offset:  0\n"
            "Comment:              say \"hi\"\n"
            "Type/creator:         TEXT/ttxt\n"
            "Central extra field:  25 bytes\n"
            "  0x5455 extended timestamp, 5 bytes\n"
            "      01 00 00 00 00\n"
            "  0x2705 Macintosh type/creator, 12 bytes\n"
            "      type TEXT, creator ttxt\n"
            "      5a 50 49 54 54 45 58 54 74 74 78 74\n"
            "Local extra field:    24 bytes\n"
            "  0x2605 Macintosh type/creator and name, 20 bytes\n"
            "      type TEXT, creator ttxt, name Read Me\n"
            "      5a 50 49 54 07 52 65 61 64 20 4d 65 54 45 58 54\n"
            "      74 74 78 74\n");
}

TEST_F(Commands, InfoOfAFolderFoundRegardlessOfCase) {
  clitest::Outcome r = clitest::Run({"info", path("sample.zip"), "photos/"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Path:                 Photos/\n"), std::string::npos);
  EXPECT_NE(r.out.find("Name:                 Photos\n"), std::string::npos);
  EXPECT_NE(r.out.find("Modified:             -\n"), std::string::npos);
  EXPECT_NE(r.out.find("Made by:              3 (Unix), version 3.0\n"), std::string::npos);
  EXPECT_NE(r.out.find("Comment:\n"), std::string::npos);
}

TEST_F(Commands, InfoOfADamagedLocalHeader) {
  ziptest::Built b = clitest::SampleArchive().Build();
  b.bytes[b.localOffsets[1]] = 'X';
  testsupport::WriteFile(dir_ / "damaged.zip", b.bytes);
  clitest::Outcome r = clitest::Run({"info", path("damaged.zip"), "Photos/"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Local extra field:    unreadable: Invalid Local File Header signature "
                       "(archive appears to be severely corrupted)\n"),
            std::string::npos)
      << r.out;
}

struct StatusCase {
  const char* what;
  std::vector<std::string> args;  // "@name" stands for a file in the test folder
  int status;
  std::string err;  // expected in stderr
};

class ExitStatus : public Commands, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ExitStatus, AndMessage) {
  const StatusCase& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& a : c.args) args.push_back(a[0] == '@' ? path(a.substr(1)) : a);
  clitest::Outcome r = clitest::Run(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  if (c.err.empty()) {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatus,
    ::testing::Values(
        StatusCase{"no_arguments", {}, 2, "usage: pellarc"},
        StatusCase{"unknown_command", {"frobnicate", "@sample.zip"}, 2, "unknown command \"frobnicate\""},
        StatusCase{"unknown_global_option", {"--frob", "list", "@sample.zip"}, 2, "unknown option \"--frob\""},
        StatusCase{"list_without_archive", {"list"}, 2, "list needs an archive"},
        StatusCase{"list_with_two_archives", {"list", "@sample.zip", "@sample.zip"}, 2, "too many arguments"},
        StatusCase{"list_unknown_option", {"list", "--jsn", "@sample.zip"}, 2, "unknown option \"--jsn\""},
        StatusCase{"list_option_with_value", {"list", "--json=yes", "@sample.zip"}, 2, "takes no value"},
        StatusCase{"list_missing_archive", {"list", "@missing.zip"}, 2,
                   "missing.zip: Opening the archive file failed\n"},
        StatusCase{"list_not_a_zip", {"list", "@not a zip.txt"}, 2,
                   "not a zip.txt: File does not appear to by a Zip file ('PK' header missing)\n"},
        StatusCase{"list_a_folder", {"list", "@"}, 2, "Opening the archive file failed"},
        StatusCase{"list_after_double_dash", {"list", "--", "@sample.zip"}, 0, ""},
        StatusCase{"list_json_before_archive", {"list", "--json", "@sample.zip"}, 0, ""},
        StatusCase{"info_without_entry", {"info", "@sample.zip"}, 2, "info needs an archive and an entry"},
        StatusCase{"info_no_such_entry", {"info", "@sample.zip", "nope.txt"}, 1,
                   "sample.zip: no entry \"nope.txt\""},
        StatusCase{"info_missing_archive", {"info", "@missing.zip", "x"}, 2, "Opening the archive file failed"},
        StatusCase{"info_escapes_the_name", {"info", "@sample.zip", "a\x1b[2Jb"}, 1, "no entry \"a\\x1B[2Jb\""},
        StatusCase{"version", {"--version"}, 0, ""}),
    [](const auto& param) { return std::string(param.param.what); });

}  // namespace
