// The host loading the real plug-in: what gets registered for which host
// version, and how start-up fails when something is missing.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <optional>

#include "GzipTestSupport.h"
#include "platform/Exceptions.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"
#include "platform/plugin/ZStreamReader.h"
#include "support/TestSupport.h"

namespace {

using gztest::RecordingWriter;
using gztest::ScriptedReader;

std::filesystem::path PluginFolder() {
  const char* dir = std::getenv("PELLARC_PLUGIN_DIR");
  return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path(PELLARC_BIN_DIR);
}

// A copy of the plug-in in a folder of its own loads as a separate library,
// so that a host that withholds routines can't spoil the shared one.
std::filesystem::path CopyOfPlugin(const testsupport::TempDir& dir) {
  std::filesystem::copy_file(PluginFolder() / PluginHost::kLibraryName,
                             dir.path() / PluginHost::kLibraryName);
  return dir.path();
}

std::string RoundTrip(const std::shared_ptr<PluginHost>& host, const std::string& data) {
  auto writer = std::make_shared<RecordingWriter>();
  {
    ZStream out(host, true, writer, nullptr);
    out.Write(data);
    out.Close();
  }
  ZStream in(host, false, nullptr, std::make_shared<ScriptedReader>(writer->All()));
  return in.Read(1 << 20);
}

struct RegistrationCase {
  const char* name;
  std::optional<double> version;
  std::vector<std::string> classes;
  std::vector<std::string> interfaces;
};

const std::vector<std::string> kAllClasses = {"ZStream", "ZStreamReader", "ZStreamWriter"};
const std::vector<std::string> kStreamInterfaces = {"IStreamWriter", "IBinaryStreamWriter",
                                                    "IBinaryStreamReader"};

class RegistrationTest : public testing::TestWithParam<RegistrationCase> {};

TEST_P(RegistrationTest, RegistersWhatTheHostVersionCalls) {
  const RegistrationCase& c = GetParam();
  PluginHost::Options options;
  options.version = c.version;
  auto host = PluginHost::Load(options);
  ASSERT_TRUE(host->Ok()) << host->Error();
  EXPECT_EQ(host->PluginVersion(), 6);
  EXPECT_EQ(host->RegisteredClasses(), c.classes);
  EXPECT_EQ(host->RegisteredInterfaces(), c.interfaces);
  // Whatever was registered works: the stream interfaces a pre-5.0 host
  // learns from the plug-in are enough to bind the program's objects.
  EXPECT_EQ(RoundTrip(host, "registered and working"), "registered and working");
  if (c.classes.size() == 1) {
    EXPECT_THROW(ZStreamReader(host, std::make_shared<ScriptedReader>("")), RuntimeException);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HostVersions, RegistrationTest,
    testing::Values(RegistrationCase{"V6", 6.0, kAllClasses, {}},
                    RegistrationCase{"V5_5", 5.5, kAllClasses, {}},
                    RegistrationCase{"V5_4", 5.4, {"ZStream"}, {}},
                    RegistrationCase{"V5_0", 5.0, {"ZStream"}, {}},
                    RegistrationCase{"V4_9", 4.9, {"ZStream"}, kStreamInterfaces},
                    RegistrationCase{"NoVersionQuery", std::nullopt, {"ZStream"}, kStreamInterfaces}),
    [](const testing::TestParamInfo<RegistrationCase>& param) { return std::string(param.param.name); });

TEST(PluginHostTest, ProcessWideHostLoadsFromThePluginFolder) {
  auto host = PluginHost::Instance();
  ASSERT_TRUE(host->Ok()) << host->Error();
  EXPECT_EQ(host, PluginHost::Instance());
  EXPECT_EQ(host->LibraryPath().filename(), "libcorvane.so");
  EXPECT_NE(host->FindMethod("ZStream", "Read(count as Integer) as String"), nullptr);
  EXPECT_EQ(host->FindMethod("ZStream", "Read(count as Integer)"), nullptr);
  EXPECT_EQ(host->FindMethod("NoSuchClass", "Close()"), nullptr);
}

// ---- Start-up failures -----------------------------------------------------

std::filesystem::path ZlibLibrary() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&zlibVersion), &info) || !info.dli_fname) return {};
  return info.dli_fname;
}

TEST(PluginHostTest, StartUpFailuresNameWhatIsMissing) {
  testsupport::TempDir empty;
  testsupport::TempDir notAPlugin;
  testsupport::TempDir garbage;
  const auto zlib = ZlibLibrary();
  ASSERT_FALSE(zlib.empty());
  std::filesystem::copy_file(zlib, notAPlugin / PluginHost::kLibraryName);
  testsupport::WriteFile(garbage / PluginHost::kLibraryName, "not a shared object");

  struct Case {
    const char* name;
    std::filesystem::path folder;
    const char* expected;
  } cases[] = {
      {"no library", empty.path(), "was not found"},
      {"no entry point", notAPlugin.path(), "has no entry point REALPluginMain"},
      {"not a library", garbage.path(), "could not be loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PluginHost::Options options;
    options.pluginDir = c.folder;
    auto host = PluginHost::Load(options);
    EXPECT_FALSE(host->Ok());
    EXPECT_NE(host->Error().find(c.expected), std::string::npos) << host->Error();
    EXPECT_NE(host->Error().find((c.folder / "libcorvane.so").string()), std::string::npos)
        << host->Error();
    // No stream can be made through a host that did not start.
    try {
      ZStream stream(host, true, std::make_shared<RecordingWriter>(), nullptr);
      ADD_FAILURE() << "a stream was made through a failed host";
    } catch (const RuntimeException& e) {
      EXPECT_EQ(std::string(e.what()), host->Error());
    }
  }
}

TEST(PluginHostTest, HostWithoutClassRegistrationFailsToStart) {
  testsupport::TempDir dir;
  PluginHost::Options options;
  options.pluginDir = CopyOfPlugin(dir);
  options.withheldRoutines = {"PluginRegisterClass"};
  auto host = PluginHost::Load(options);
  EXPECT_FALSE(host->Ok());
  EXPECT_NE(host->Error().find("did not register the class ZStream"), std::string::npos)
      << host->Error();
}

// Without the interface lookup no object can be bound: the stream fails to
// open (LastError 1) instead of calling a routine it does not have.
TEST(PluginHostTest, ObjectsThatCantBeBoundLeaveTheStreamUnopened) {
  testsupport::TempDir dir;
  PluginHost::Options options;
  options.pluginDir = CopyOfPlugin(dir);
  options.withheldRoutines = {"GetInterfaceRoutine"};
  auto host = PluginHost::Load(options);
  ASSERT_TRUE(host->Ok()) << host->Error();

  auto writer = std::make_shared<RecordingWriter>();
  ZStream out(host, true, writer, nullptr);
  EXPECT_EQ(out.LastError(), 1);
  out.Write("data");
  out.Close();
  EXPECT_EQ(out.LastError(), 1);
  EXPECT_TRUE(writer->pieces.empty());

  ZStream in(host, false, nullptr, std::make_shared<ScriptedReader>("whatever"));
  EXPECT_EQ(in.ErrorValue(), 1);
  EXPECT_EQ(in.Read(10), "");
  EXPECT_FALSE(in.Eof());
  EXPECT_EQ(in.Position(), 0);
}

// ---- The host checks what a plug-in registers ------------------------------

void Nothing(REALobject) {}

const REALmethodDefinition kIncompleteMethods[] = {
    {reinterpret_cast<REALproc>(&Nothing), "Close()"},
};
const REALclassDefinition kIncompleteZStream = {6, "ZStream", nullptr, 0, nullptr, nullptr,
                                                nullptr, 0, kIncompleteMethods, 1, nullptr};
const REALclassDefinition kFutureZStream = {99, "ZStream", nullptr, 0, nullptr, nullptr,
                                            nullptr, 0, kIncompleteMethods, 1, nullptr};

template <const REALclassDefinition* Definition, int32_t Version>
void FakePluginMain(REALresolver resolver) {
  auto resolve = reinterpret_cast<REALresolver>(resolver("ResolverPPC"));
  reinterpret_cast<REALRegisterPluginVersionProc>(resolve("RegisterPluginVersion"))(Version);
  reinterpret_cast<REALRegisterClassProc>(resolve("PluginRegisterClass"))(Definition);
}

TEST(PluginHostTest, PluginsThatDontFitAreRefused) {
  struct Case {
    const char* name;
    REALPluginMainProc entry;
    const char* expected;
  } cases[] = {
      {"method missing", &FakePluginMain<&kIncompleteZStream, 6>,
       "offers the class ZStream with no method \"Constructor(f as FolderItem, write as Boolean)\""},
      {"class too new", &FakePluginMain<&kFutureZStream, 6>,
       "class ZStream is written for plug-in interface version 99"},
      {"plug-in too new", &FakePluginMain<&kIncompleteZStream, 7>,
       "is written for plug-in interface version 7"},
      {"no version declared", &FakePluginMain<&kIncompleteZStream, 0>,
       "did not say which plug-in interface version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PluginHost::Options options;
    options.entryPoint = c.entry;
    auto host = PluginHost::Load(options);
    EXPECT_FALSE(host->Ok());
    EXPECT_NE(host->Error().find(c.expected), std::string::npos) << host->Error();
  }
}

}  // namespace
