#pragma once
// What the proxies know of the plug-in's classes: each routine they call, in
// a fixed order, found by declaration when the host starts. Internal to the
// host and its proxies.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/plugin/PluginABI.h"
#include "platform/plugin/PluginHost.h"

namespace pluginhost {

class HostClass;

struct ClassBinding {
  BoundClass which;
  const HostClass* cls;
  // In the order of the class's routine enum below.
  std::vector<REALproc> routines;
};

enum ZStreamRoutine {
  kZsOnFile,
  kZsOnObjects,
  kZsWrite,
  kZsRead,
  kZsClose,
  kZsSeek,
  kZsLastError,
  kZsEof,
  kZsErrorValue,
  kZsPosition,
};

enum ZStreamReaderRoutine {
  kZrOnFile,
  kZrOnReader,
  kZrOnFileWithBuffer,
  kZrOnReaderWithBuffer,
  kZrRead,
  kZrClose,
  kZrSeek,
  kZrLastError,
  kZrEof,
  kZrReadBlock,
  kZrBind,
  kZrProcessBoundBlock,
  kZrPosition,
  kZrGetBuffer,
  kZrSetBuffer,
};

enum ZStreamWriterRoutine {
  kZwOnFile,
  kZwOnWriter,
  kZwOnFileWithBuffer,
  kZwOnWriterWithBuffer,
  kZwWrite,
  kZwClose,
  kZwSeek,
  kZwLastError,
  kZwWriteBlock,
  kZwPosition,
  kZwGetBuffer,
  kZwSetBuffer,
};

// What a routine is looked up by: a method by its declaration, a property
// accessor by the property's name and type.
struct RoutineSpec {
  enum Kind { kMethod, kGetter, kSetter } kind;
  const char* text;
  const char* type;
};

struct ClassSpec {
  BoundClass which;
  const char* name;
  // The program can't run without it.
  bool required;
  const RoutineSpec* routines;
  size_t routineCount;
};

// The classes the proxies use, in binding order.
const std::vector<ClassSpec>& BoundClassSpecs();

// The binding a proxy works through; raises RuntimeException when the host
// did not start or the plug-in lacks the class.
const ClassBinding& RequireBinding(const PluginHost& host, BoundClass which, const char* className);

template <typename F>
F* RoutineAs(const ClassBinding& binding, int index) {
  return reinterpret_cast<F*>(binding.routines[static_cast<size_t>(index)]);
}

}  // namespace pluginhost
