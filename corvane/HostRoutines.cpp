#include "corvane/HostRoutines.h"

namespace corvane {
namespace {

// Everything Corvane knows of its host. Plain pointers: the library is loaded
// once and keeps its routines for as long as it stays loaded.
struct Routines {
  REALresolver resolver = nullptr;
  REALresolver resolverPPC = nullptr;
  REALHostVersionProc hostVersion = nullptr;
  REALBuildStringProc buildString = nullptr;
  REALUnlockStringProc unlockString = nullptr;
  REALUnlockObjectProc unlockObject = nullptr;
  REALLockObjectProc lockObject = nullptr;
  REALNewMemoryBlockProc newMemoryBlock = nullptr;
  REALMemoryBlockGetPtrProc memoryBlockGetPtr = nullptr;
  REALMemoryBlockGetSizeProc memoryBlockGetSize = nullptr;
  REALRegisterClassProc registerClass = nullptr;
  REALRegisterInterfaceProc registerInterface = nullptr;
  REALGetInterfaceRoutineProc getInterfaceRoutine = nullptr;
  REALFSSpecFromFolderItemProc fsSpecFromFolderItem = nullptr;
  REALPathFromFolderItemProc pathFromFolderItem = nullptr;
  REALGetClassDataProc getClassData = nullptr;
};

Routines routines;

template <typename Proc>
Proc Resolve(const char* name) {
  return reinterpret_cast<Proc>(EResolver(name));
}

// A routine wanted on first use is asked for until the host yields it.
template <typename Proc>
Proc OnFirstUse(Proc& slot, const char* name) {
  if (!slot) slot = Resolve<Proc>(name);
  return slot;
}

}  // namespace

void StartHost(REALresolver resolver) {
  routines = Routines{};
  routines.resolver = resolver;
  if (resolver) routines.resolverPPC = reinterpret_cast<REALresolver>(resolver("ResolverPPC"));
  if (auto registerVersion = Resolve<REALRegisterPluginVersionProc>("RegisterPluginVersion")) {
    registerVersion(kPluginInterfaceVersion);
  }
}

void ResolveEntryRoutines() {
  routines.buildString = Resolve<REALBuildStringProc>("REALBuildString");
  routines.unlockString = Resolve<REALUnlockStringProc>("REALUnlockString");
  routines.unlockObject = Resolve<REALUnlockObjectProc>("REALUnlockObject");
  routines.lockObject = Resolve<REALLockObjectProc>("REALLockObject");
  routines.newMemoryBlock = Resolve<REALNewMemoryBlockProc>("newMemoryBlock");
  routines.memoryBlockGetPtr = Resolve<REALMemoryBlockGetPtrProc>("memoryBlockGetPtr");
  routines.memoryBlockGetSize = Resolve<REALMemoryBlockGetSizeProc>("memoryBlockGetSize");
}

REALproc EResolver(const char* name) {
  return routines.resolverPPC ? routines.resolverPPC(name) : nullptr;
}

double HostVersion() {
  routines.hostVersion = Resolve<REALHostVersionProc>("REALHostVersion");
  return routines.hostVersion ? routines.hostVersion() : 0.0;
}

REALstring BuildString(const void* bytes, int32_t length) {
  return routines.buildString ? routines.buildString(bytes, length) : nullptr;
}

void UnlockString(REALstring string) {
  if (string && routines.unlockString) routines.unlockString(string);
}

void LockObject(REALobject object) {
  if (object && routines.lockObject) routines.lockObject(object);
}

void UnlockObject(REALobject object) {
  if (object && routines.unlockObject) routines.unlockObject(object);
}

REALobject NewMemoryBlock(int32_t size) {
  return routines.newMemoryBlock ? routines.newMemoryBlock(size) : nullptr;
}

void* MemoryBlockPtr(REALobject block) {
  return block && routines.memoryBlockGetPtr ? routines.memoryBlockGetPtr(block) : nullptr;
}

int32_t MemoryBlockSize(REALobject block) {
  return block && routines.memoryBlockGetSize ? routines.memoryBlockGetSize(block) : 0;
}

void REALRegisterClass(const REALclassDefinition* definition) {
  if (auto proc = OnFirstUse(routines.registerClass, "PluginRegisterClass")) proc(definition);
}

void REALRegisterInterface(const REALinterfaceDefinition* definition) {
  if (auto proc = OnFirstUse(routines.registerInterface, "PluginRegisterInterface")) proc(definition);
}

REALproc REALInterfaceRoutine(REALobject object, const char* interfaceName, const char* method) {
  if (!object) return nullptr;
  auto proc = OnFirstUse(routines.getInterfaceRoutine, "GetInterfaceRoutine");
  return proc ? proc(object, interfaceName, method) : nullptr;
}

bool REALFSSpecFromFolderItem(REALfileSpec* spec, REALobject folderItem) {
  if (!folderItem) return false;
  auto proc = OnFirstUse(routines.fsSpecFromFolderItem, "REALFSSpecFromFolderItem");
  return proc && proc(spec, folderItem) == 0;
}

REALstring REALpathFromFolderItem(REALobject folderItem) {
  if (!folderItem) return nullptr;
  auto proc = OnFirstUse(routines.pathFromFolderItem, "REALpathFromFolderItem");
  return proc ? proc(folderItem) : nullptr;
}

void* REALGetClassData(REALobject object, const REALclassDefinition* definition) {
  if (!object) return nullptr;
  auto proc = OnFirstUse(routines.getClassData, "REALGetClassData");
  return proc ? proc(object, definition) : nullptr;
}

}  // namespace corvane
