#include "platform/plugin/PluginHost.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/plugin/PluginBindings.h"

namespace pluginhost {
namespace {

constexpr uint32_t kOldestPluginInterface = 1;
// A per-object record beyond this is taken for a broken definition.
constexpr uint32_t kMaxClassData = 1u << 20;
constexpr size_t kDataOffset =
    (sizeof(REALobjectRecord) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

// Every host knows these; the other three only from version 5.0 on.
constexpr double kHostKnowsStreamInterfaces = 5.0;

std::string MethodName(std::string_view declaration) {
  const size_t paren = declaration.find('(');
  std::string_view name = declaration.substr(0, paren);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return std::string(name);
}

bool ListHas(const char* commaList, std::string_view wanted) {
  if (!commaList) return false;
  std::string_view rest = commaList;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item == wanted) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

std::vector<PluginHost*>& LiveHosts() {
  static std::vector<PluginHost*> hosts;
  return hosts;
}

// The host whose configuration the resolver follows: the newest live one.
PluginHost* ActiveHost() { return LiveHosts().empty() ? nullptr : LiveHosts().back(); }

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

const RoutineSpec kZStreamRoutines[] = {
    {RoutineSpec::kMethod, "Constructor(f as FolderItem, write as Boolean)", nullptr},
    {RoutineSpec::kMethod,
     "Constructor(write as Boolean, writer as IStreamWriter, reader as IStreamReader)", nullptr},
    {RoutineSpec::kMethod, "Write(data as String)", nullptr},
    {RoutineSpec::kMethod, "Read(count as Integer) as String", nullptr},
    {RoutineSpec::kMethod, "Close()", nullptr},
    {RoutineSpec::kMethod, "Seek(offset as Integer, relative as Boolean)", nullptr},
    {RoutineSpec::kMethod, "LastError() as Integer", nullptr},
    {RoutineSpec::kMethod, "EOF() as Boolean", nullptr},
    {RoutineSpec::kGetter, "ErrorValue", "Integer"},
    {RoutineSpec::kGetter, "Position", "Integer"},
};

const RoutineSpec kZStreamReaderRoutines[] = {
    {RoutineSpec::kMethod, "Constructor(src as FolderItem)", nullptr},
    {RoutineSpec::kMethod, "Constructor(reader as IBinaryStreamReader)", nullptr},
    {RoutineSpec::kMethod, "Constructor(src as FolderItem, buffer as MemoryBlock)", nullptr},
    {RoutineSpec::kMethod, "Constructor(reader as IBinaryStreamReader, buffer as MemoryBlock)",
     nullptr},
    {RoutineSpec::kMethod, "Read(count as Integer) as String", nullptr},
    {RoutineSpec::kMethod, "Close()", nullptr},
    {RoutineSpec::kMethod, "Seek(offset as Integer, relative as Boolean)", nullptr},
    {RoutineSpec::kMethod, "LastError() as Integer", nullptr},
    {RoutineSpec::kMethod, "EOF() as Boolean", nullptr},
    {RoutineSpec::kMethod, "ReadBlock() as Integer", nullptr},
    {RoutineSpec::kMethod, "Bind(writer as IBlockWriter)", nullptr},
    {RoutineSpec::kMethod, "ProcessBoundBlock()", nullptr},
    {RoutineSpec::kGetter, "Position", "Integer"},
    {RoutineSpec::kGetter, "Buffer", "MemoryBlock"},
    {RoutineSpec::kSetter, "Buffer", "MemoryBlock"},
};

const RoutineSpec kZStreamWriterRoutines[] = {
    {RoutineSpec::kMethod, "Constructor(dst as FolderItem)", nullptr},
    {RoutineSpec::kMethod, "Constructor(writer as IBinaryStreamWriter)", nullptr},
    {RoutineSpec::kMethod, "Constructor(dst as FolderItem, buffer as MemoryBlock)", nullptr},
    {RoutineSpec::kMethod, "Constructor(writer as IBinaryStreamWriter, buffer as MemoryBlock)",
     nullptr},
    {RoutineSpec::kMethod, "Write(data as String)", nullptr},
    {RoutineSpec::kMethod, "Close()", nullptr},
    {RoutineSpec::kMethod, "Seek(offset as Integer, relative as Boolean)", nullptr},
    {RoutineSpec::kMethod, "LastError() as Integer", nullptr},
    {RoutineSpec::kMethod, "WriteBlock(count as Integer)", nullptr},
    {RoutineSpec::kGetter, "Position", "Integer"},
    {RoutineSpec::kGetter, "Buffer", "MemoryBlock"},
    {RoutineSpec::kSetter, "Buffer", "MemoryBlock"},
};

template <typename T, size_t N>
constexpr size_t CountOf(const T (&)[N]) {
  return N;
}

}  // namespace

const std::vector<ClassSpec>& BoundClassSpecs() {
  static const std::vector<ClassSpec> specs = {
      {BoundClass::kZStream, "ZStream", true, kZStreamRoutines, CountOf(kZStreamRoutines)},
      {BoundClass::kZStreamReader, "ZStreamReader", false, kZStreamReaderRoutines,
       CountOf(kZStreamReaderRoutines)},
      {BoundClass::kZStreamWriter, "ZStreamWriter", false, kZStreamWriterRoutines,
       CountOf(kZStreamWriterRoutines)},
  };
  return specs;
}

const ClassBinding& RequireBinding(const PluginHost& host, BoundClass which, const char* className) {
  if (!host.Ok()) throw RuntimeException(host.Error());
  const ClassBinding* binding = host.Binding(which);
  if (!binding) {
    throw RuntimeException(std::string("The Corvane plug-in offers no class ") + className +
                           " to this host");
  }
  return *binding;
}

// A class the plug-in registered, checked before it was accepted.
class PluginClass : public HostClass {
 public:
  PluginClass(const REALclassDefinition* definition, const PluginHost* host)
      : HostClass(definition->name), definition_(definition), host_(host) {}

  const REALclassDefinition* Definition() const { return definition_; }

  ObjectRef Make() const {
    void* memory = ::operator new(kDataOffset + definition_->dataSize, std::nothrow);
    if (!memory) throw OutOfMemoryException();
    auto* object = new (memory) REALobjectRecord{this, 1};
    std::memset(static_cast<unsigned char*>(memory) + kDataOffset, 0, definition_->dataSize);
    ObjectRef ref = ObjectRef::Adopt(object);
    if (definition_->constructor) definition_->constructor(object);
    return ref;
  }

  void Destroy(REALobject object) const override {
    if (definition_->destructor) definition_->destructor(object);
    ::operator delete(static_cast<void*>(object));
  }

  REALproc InterfaceRoutine(REALobject, std::string_view interfaceName,
                            std::string_view method) const override {
    if (!ListHas(definition_->interfaces, interfaceName)) return nullptr;
    const auto* known = host_->FindInterface(interfaceName);
    if (!known || std::find(known->methods.begin(), known->methods.end(), method) == known->methods.end()) {
      return nullptr;
    }
    for (uint32_t i = 0; i < definition_->methodCount; ++i) {
      const auto& m = definition_->methods[i];
      if (MethodName(m.declaration) == method) return m.function;
    }
    return nullptr;
  }

  void* ClassData(REALobject object, const REALclassDefinition* definition) const override {
    if (definition != definition_) return nullptr;
    return reinterpret_cast<unsigned char*>(object) + kDataOffset;
  }

  REALproc Method(std::string_view declaration) const {
    for (uint32_t i = 0; i < definition_->methodCount; ++i) {
      if (definition_->methods[i].declaration == declaration) return definition_->methods[i].function;
    }
    return nullptr;
  }

  REALproc Accessor(std::string_view name, std::string_view type, bool setter) const {
    for (uint32_t i = 0; i < definition_->propertyCount; ++i) {
      const auto& p = definition_->properties[i];
      if (p.name == name && p.type == type) return setter ? p.setter : p.getter;
    }
    return nullptr;
  }

  // Why the definition can't be used; empty when it can.
  static std::string Problem(const REALclassDefinition* d) {
    if (!d || !d->name || !*d->name) return "a class definition without a name";
    const std::string name = d->name;
    if (d->version < kOldestPluginInterface || d->version > REAL_PLUGIN_INTERFACE_VERSION) {
      return "class " + name + " is written for plug-in interface version " +
             std::to_string(d->version);
    }
    if (d->superName) return "class " + name + " names a superclass, which this host has none of";
    if (d->dataSize > kMaxClassData) return "class " + name + " asks for an oversized object record";
    if (d->methodCount > 0 && !d->methods) return "class " + name + " has no method table";
    for (uint32_t i = 0; i < d->methodCount; ++i) {
      if (!d->methods[i].function || !d->methods[i].declaration) {
        return "class " + name + " has a method without routine or declaration";
      }
    }
    if (d->propertyCount > 0 && !d->properties) return "class " + name + " has no property table";
    for (uint32_t i = 0; i < d->propertyCount; ++i) {
      const auto& p = d->properties[i];
      if (!p.name || !p.type || !p.getter) {
        return "class " + name + " has a property without name, type or getter";
      }
    }
    return {};
  }

 private:
  const REALclassDefinition* definition_;
  const PluginHost* host_;
};

// The routines that act on the host that is being loaded or used.
struct HostCallbacks {
  static REALproc Resolve(const char* name);

  static void RegisterPluginVersion(int32_t version) {
    if (PluginHost* host = ActiveHost()) host->pluginVersion_ = version;
  }

  static double HostVersion() {
    PluginHost* host = ActiveHost();
    return host && host->options_.version ? *host->options_.version : 0.0;
  }

  static void RegisterClass(const REALclassDefinition* definition) {
    PluginHost* host = ActiveHost();
    if (!host) return;
    try {
      if (const std::string problem = PluginClass::Problem(definition); !problem.empty()) {
        host->Fail("registered " + problem);
        return;
      }
      if (host->FindClass(definition->name)) {
        host->Fail(std::string("registered the class ") + definition->name + " twice");
        return;
      }
      host->classes_.push_back(std::make_unique<PluginClass>(definition, host));
      host->registeredClasses_.emplace_back(definition->name);
    } catch (const std::bad_alloc&) {
      host->Fail("could not be registered: out of memory");
    }
  }

  static void RegisterInterface(const REALinterfaceDefinition* definition) {
    PluginHost* host = ActiveHost();
    if (!host) return;
    try {
      if (!definition || !definition->name || (definition->methodCount > 0 && !definition->methods)) {
        host->Fail("registered a malformed interface definition");
        return;
      }
      host->registeredInterfaces_.emplace_back(definition->name);
      // An interface this host knows already keeps its own definition.
      if (host->FindInterface(definition->name)) return;
      PluginHost::InterfaceInfo info{definition->name, {}};
      for (uint32_t i = 0; i < definition->methodCount; ++i) {
        if (!definition->methods[i].declaration) {
          host->Fail(std::string("registered the interface ") + definition->name +
                     " with a method without declaration");
          return;
        }
        info.methods.push_back(MethodName(definition->methods[i].declaration));
      }
      host->interfaces_.push_back(std::move(info));
    } catch (const std::bad_alloc&) {
      host->Fail("could not be registered: out of memory");
    }
  }
};

REALproc HostCallbacks::Resolve(const char* name) {
  if (!name) return nullptr;
  PluginHost* host = ActiveHost();
  if (host && host->Withholds(name)) return nullptr;
  const std::string_view wanted = name;
  if (wanted == "ResolverPPC") return reinterpret_cast<REALproc>(&HostCallbacks::Resolve);
  if (wanted == "RegisterPluginVersion") {
    return reinterpret_cast<REALproc>(&HostCallbacks::RegisterPluginVersion);
  }
  if (wanted == "REALHostVersion") {
    return host && host->options_.version ? reinterpret_cast<REALproc>(&HostCallbacks::HostVersion)
                                          : nullptr;
  }
  if (wanted == "PluginRegisterClass") return reinterpret_cast<REALproc>(&HostCallbacks::RegisterClass);
  if (wanted == "PluginRegisterInterface") {
    return reinterpret_cast<REALproc>(&HostCallbacks::RegisterInterface);
  }
  return FindRoutine(wanted);
}

}  // namespace pluginhost

using pluginhost::BoundClass;
using pluginhost::ClassBinding;
using pluginhost::HostCallbacks;
using pluginhost::PluginClass;
using pluginhost::RoutineSpec;

std::shared_ptr<PluginHost> PluginHost::Instance() {
  static const std::shared_ptr<PluginHost> host = Load();
  return host;
}

std::shared_ptr<PluginHost> PluginHost::Load() { return Load(Options{}); }

std::shared_ptr<PluginHost> PluginHost::Load(const Options& options) {
  std::shared_ptr<PluginHost> host(new PluginHost(options));
  host->Start();
  return host;
}

PluginHost::PluginHost(Options options) : options_(std::move(options)) {
  interfaces_ = {
      {"IStreamReader", {"Read", "LastError"}},
      {"IBlockReader", {"ReadBlock", "EOF", "LastError"}},
      {"IBlockWriter", {"WriteBlock", "LastError"}},
  };
  if (options_.version && *options_.version >= pluginhost::kHostKnowsStreamInterfaces) {
    interfaces_.push_back({"IStreamWriter", {"Write", "LastError"}});
    interfaces_.push_back({"IBinaryStreamWriter", {"Write", "LastError"}});
    interfaces_.push_back({"IBinaryStreamReader", {"Read", "EOF", "LastError"}});
  }
  pluginhost::LiveHosts().push_back(this);
}

PluginHost::~PluginHost() {
  auto& hosts = pluginhost::LiveHosts();
  hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
  // The plug-in's class definitions live in the library: forget them first.
  bindings_.clear();
  classes_.clear();
  if (library_) dlclose(library_);
}

void PluginHost::Fail(const std::string& problem) {
  if (error_.empty()) error_ = "Corvane plug-in " + libraryPath_.string() + " " + problem;
}

bool PluginHost::Withholds(std::string_view name) const {
  return std::find(options_.withheldRoutines.begin(), options_.withheldRoutines.end(), name) !=
         options_.withheldRoutines.end();
}

const PluginHost::InterfaceInfo* PluginHost::FindInterface(std::string_view name) const {
  for (const auto& info : interfaces_) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

const PluginClass* PluginHost::FindClass(std::string_view name) const {
  for (const auto& cls : classes_) {
    if (cls->Name() == name) return cls.get();
  }
  return nullptr;
}

void PluginHost::Start() {
  REALPluginMainProc entry = options_.entryPoint;
  if (entry) {
    libraryPath_ = "(linked in)";
  } else {
    std::filesystem::path folder = options_.pluginDir;
    if (folder.empty()) {
      const char* fromEnvironment = std::getenv("PELLARC_PLUGIN_DIR");
      folder = fromEnvironment && *fromEnvironment ? std::filesystem::path(fromEnvironment)
                                                   : pluginhost::ExecutableFolder();
    }
    libraryPath_ = folder / kLibraryName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(libraryPath_, ec)) {
      Fail("was not found (the library is looked for in PELLARC_PLUGIN_DIR, else next to the "
           "program)");
      return;
    }
    dlerror();
    library_ = dlopen(libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
      const char* why = dlerror();
      Fail(std::string("could not be loaded: ") + (why ? why : "unknown reason"));
      return;
    }
    entry = reinterpret_cast<REALPluginMainProc>(dlsym(library_, REAL_PLUGIN_ENTRY_NAME));
    if (!entry) {
      Fail("has no entry point " REAL_PLUGIN_ENTRY_NAME);
      return;
    }
  }
  entry(&HostCallbacks::Resolve);
  if (!Ok()) return;
  if (pluginVersion_ == 0) {
    Fail("did not say which plug-in interface version it is written for");
    return;
  }
  if (pluginVersion_ < static_cast<int32_t>(pluginhost::kOldestPluginInterface) ||
      pluginVersion_ > REAL_PLUGIN_INTERFACE_VERSION) {
    Fail("is written for plug-in interface version " + std::to_string(pluginVersion_) +
         "; this host provides version " + std::to_string(REAL_PLUGIN_INTERFACE_VERSION));
    return;
  }
  BindClasses();
}

void PluginHost::BindClasses() {
  for (const auto& spec : pluginhost::BoundClassSpecs()) {
    const PluginClass* cls = FindClass(spec.name);
    if (!cls) {
      if (spec.required) {
        Fail(std::string("did not register the class ") + spec.name);
        return;
      }
      continue;
    }
    auto binding = std::make_unique<ClassBinding>();
    binding->which = spec.which;
    binding->cls = cls;
    for (size_t i = 0; i < spec.routineCount; ++i) {
      const RoutineSpec& r = spec.routines[i];
      const REALproc routine = r.kind == RoutineSpec::kMethod
                                   ? cls->Method(r.text)
                                   : cls->Accessor(r.text, r.type, r.kind == RoutineSpec::kSetter);
      if (!routine) {
        const std::string what =
            r.kind == RoutineSpec::kMethod
                ? std::string("no method \"") + r.text + "\""
                : std::string("no ") + (r.kind == RoutineSpec::kSetter ? "settable " : "") +
                      "property " + r.text + " as " + r.type;
        Fail(std::string("offers the class ") + spec.name + " with " + what);
        return;
      }
      binding->routines.push_back(routine);
    }
    bindings_.push_back(std::move(binding));
  }
}

REALproc PluginHost::FindMethod(std::string_view className, std::string_view declaration) const {
  const PluginClass* cls = FindClass(className);
  return cls ? cls->Method(declaration) : nullptr;
}

const ClassBinding* PluginHost::Binding(BoundClass which) const {
  for (const auto& binding : bindings_) {
    if (binding->which == which) return binding.get();
  }
  return nullptr;
}

pluginhost::ObjectRef PluginHost::NewObject(const ClassBinding& binding) const {
  return static_cast<const PluginClass*>(binding.cls)->Make();
}
