#pragma once
// Loads the Corvane plug-in and binds its classes for the program.
//
// At start the program asks for PluginHost::Instance(). That loads
// libcorvane.so once per process (from PELLARC_PLUGIN_DIR when it is set,
// else from the executable's folder), runs its entry point REALPluginMain, and
// binds every method and property the stream proxies use (ZStream,
// ZStreamReader, ZStreamWriter) by its full declaration. Anything missing -
// the library, its entry point, a class, a method - leaves Ok() false and
// Error() naming what is missing; nothing that was not found is ever called.
// The program checks Ok() before anything else and stops with Error() if not.
//
// The library stays loaded while the host or any stream made through it
// lives. Everything runs on one thread.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plugin/HostRuntime.h"
#include "platform/plugin/PluginABI.h"

namespace pluginhost {
struct ClassBinding;
enum class BoundClass { kZStream, kZStreamReader, kZStreamWriter };
struct HostCallbacks;
class PluginClass;
}  // namespace pluginhost

class PluginHost {
 public:
  // The version this host reports to the plug-in. From 5.5 on a host takes
  // all three stream classes and knows the stream interfaces itself.
  static constexpr double kVersion = 5.5;
  static constexpr const char* kLibraryName = "libcorvane.so";

  struct Options {
    // The version the host reports; none: the host has no version query.
    std::optional<double> version = kVersion;
    // Where libcorvane.so is; empty: PELLARC_PLUGIN_DIR, else the
    // executable's folder.
    std::filesystem::path pluginDir;
    // Routine names the resolver pretends not to know, to see how the plug-in
    // copes with an older host. Applies while this is the newest live host.
    std::vector<std::string> withheldRoutines;
    // A plug-in linked into the program: its entry point is run and no
    // library is loaded.
    REALPluginMainProc entryPoint = nullptr;
  };

  // The process-wide host, loaded on first use.
  static std::shared_ptr<PluginHost> Instance();
  // A host of its own (tests: other versions, other folders). Never null.
  static std::shared_ptr<PluginHost> Load();
  static std::shared_ptr<PluginHost> Load(const Options& options);

  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  bool Ok() const { return error_.empty(); }
  // What went wrong at start; empty when nothing did.
  const std::string& Error() const { return error_; }
  const std::filesystem::path& LibraryPath() const { return libraryPath_; }
  // The interface version the plug-in declared; 0 when it declared none.
  int32_t PluginVersion() const { return pluginVersion_; }
  // Names of the classes and interfaces the plug-in registered, in order.
  const std::vector<std::string>& RegisteredClasses() const { return registeredClasses_; }
  const std::vector<std::string>& RegisteredInterfaces() const { return registeredInterfaces_; }
  // The routine of a registered class's method with exactly this declaration;
  // null when there is none.
  REALproc FindMethod(std::string_view className, std::string_view declaration) const;

  // For the proxies: the bound routines of a class (null when the plug-in did
  // not register it), and a new instance of it.
  const pluginhost::ClassBinding* Binding(pluginhost::BoundClass which) const;
  pluginhost::ObjectRef NewObject(const pluginhost::ClassBinding& binding) const;

 private:
  friend struct pluginhost::HostCallbacks;
  friend class pluginhost::PluginClass;
  struct InterfaceInfo {
    std::string name;
    std::vector<std::string> methods;
  };

  explicit PluginHost(Options options);
  void Start();
  void Fail(const std::string& problem);
  bool Withholds(std::string_view name) const;
  const InterfaceInfo* FindInterface(std::string_view name) const;
  const pluginhost::PluginClass* FindClass(std::string_view name) const;
  void BindClasses();

  Options options_;
  std::filesystem::path libraryPath_;
  void* library_ = nullptr;
  std::string error_;
  int32_t pluginVersion_ = 0;
  std::vector<std::string> registeredClasses_;
  std::vector<std::string> registeredInterfaces_;
  std::vector<InterfaceInfo> interfaces_;
  std::vector<std::unique_ptr<pluginhost::PluginClass>> classes_;
  std::vector<std::unique_ptr<pluginhost::ClassBinding>> bindings_;
};
