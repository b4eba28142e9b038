// Corvane's entry point and its registration with the host.
#include "corvane/HostRoutines.h"
#include "corvane/ZStreamClasses.h"
#include "platform/plugin/PluginABI.h"

namespace corvane {
namespace {

// Hosts from 5.0 on know these interfaces themselves; older ones learn them
// from us.
constexpr double kHostKnowsStreamInterfaces = 5.0;
// Hosts from 5.5 on can take the block classes.
constexpr double kHostTakesBlockClasses = 5.5;

const REALmethodDefinition kWriterMethods[] = {
    {nullptr, "Write(data as String)"},
    {nullptr, "LastError() as Integer"},
};

const REALmethodDefinition kBinaryReaderMethods[] = {
    {nullptr, "Read(count as Integer) as String"},
    {nullptr, "EOF() as Boolean"},
    {nullptr, "LastError() as Integer"},
};

const REALinterfaceDefinition kStreamWriterInterface = {
    kPluginInterfaceVersion, "IStreamWriter", kWriterMethods, 2};
const REALinterfaceDefinition kBinaryStreamWriterInterface = {
    kPluginInterfaceVersion, "IBinaryStreamWriter", kWriterMethods, 2};
const REALinterfaceDefinition kBinaryStreamReaderInterface = {
    kPluginInterfaceVersion, "IBinaryStreamReader", kBinaryReaderMethods, 3};

void RegisterStreamInterfaces() {
  REALRegisterInterface(&kStreamWriterInterface);
  REALRegisterInterface(&kBinaryStreamWriterInterface);
  REALRegisterInterface(&kBinaryStreamReaderInterface);
}

void PluginEntry() {
  const double version = HostVersion();
  ResolveEntryRoutines();
  if (version < kHostKnowsStreamInterfaces) RegisterStreamInterfaces();
  REALRegisterClass(ZStreamClass());
  if (version >= kHostTakesBlockClasses) {
    REALRegisterClass(ZStreamReaderClass());
    REALRegisterClass(ZStreamWriterClass());
  }
}

}  // namespace
}  // namespace corvane

// Called once by the host after loading the library. Registration is all it
// does; running it again (a new host in the same process) starts afresh.
extern "C" __attribute__((visibility("default"))) void REALPluginMain(REALresolver resolver) {
  corvane::StartHost(resolver);
  corvane::PluginEntry();
}
