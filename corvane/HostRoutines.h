#pragma once
// The host routines Corvane calls, resolved by name when the host runs the
// entry point. Every wrapper here is safe to call whatever the host provides:
// a routine the host does not know makes its wrapper do nothing and return
// none, so Corvane never calls through a missing routine.
#include <cstdint>

#include "platform/plugin/PluginABI.h"

namespace corvane {

// Forgets every routine resolved so far, keeps `resolver`, and resolves
// "ResolverPPC" through it. Then declares the interface version Corvane is
// written for.
void StartHost(REALresolver resolver);
// Resolves the routines needed from the start, in the host's agreed order.
void ResolveEntryRoutines();

// "ResolverPPC" applied to a name; none when there is no resolver.
REALproc EResolver(const char* name);
// The host's version; 0 when the host has no version query.
double HostVersion();

// Routines resolved at entry.
REALstring BuildString(const void* bytes, int32_t length);
void UnlockString(REALstring string);
void LockObject(REALobject object);
void UnlockObject(REALobject object);
REALobject NewMemoryBlock(int32_t size);
void* MemoryBlockPtr(REALobject block);
int32_t MemoryBlockSize(REALobject block);

// Routines resolved on first use (and asked for again until the host has one).
void REALRegisterClass(const REALclassDefinition* definition);
void REALRegisterInterface(const REALinterfaceDefinition* definition);
REALproc REALInterfaceRoutine(REALobject object, const char* interfaceName, const char* method);
// False when the host can't name the file.
bool REALFSSpecFromFolderItem(REALfileSpec* spec, REALobject folderItem);
REALstring REALpathFromFolderItem(REALobject folderItem);
void* REALGetClassData(REALobject object, const REALclassDefinition* definition);

// The interface version this library is written for.
constexpr int32_t kPluginInterfaceVersion = 6;

}  // namespace corvane
