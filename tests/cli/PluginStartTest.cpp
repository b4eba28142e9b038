// The pellarc program loads Corvane at start for the commands that need it,
// and stops with the loader's message when it can't.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

TEST(PluginStart, OnlyCommandsThatCompressNeedThePlugin) {
  testsupport::TempDir tmp;
  std::filesystem::create_directories(tmp / "no-plugin");
  const std::string program = std::string(PELLARC_BIN_DIR) + "/pellarc";
  const std::string zip = (tmp / "a.zip").string();
  const struct {
    std::string args;
    int status;
    bool pluginMessage;
  } cases[] = {
      {"--help", 0, false},
      {"--version", 0, false},
      {"extract --help", 0, false},
      {"create '" + zip + "'", 0, false},
      {"list '" + zip + "'", 0, false},
      {"comment '" + zip + "' hi", 0, false},
      {"add '" + zip + "' x", 2, true},
      {"extract '" + zip + "'", 2, true},
      {"test '" + zip + "'", 2, true},
  };
  for (const auto& c : cases) {
    const auto err = tmp / "err.txt";
    const int status = testsupport::RunCommand(
        "PELLARC_PLUGIN_DIR='" + (tmp / "no-plugin").string() + "' '" + program + "' " + c.args +
        " >/dev/null 2>'" + err.string() + "'");
    EXPECT_EQ(status, c.status) << c.args;
    const std::string message = testsupport::ReadFile(err);
    EXPECT_EQ(message.find("libcorvane.so") != std::string::npos, c.pluginMessage)
        << c.args << ": " << message;
  }
}

}  // namespace
