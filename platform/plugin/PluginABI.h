/* The C interface between Pellarc and a plug-in loaded at start (Corvane).
 *
 * Plain C on purpose: the plug-in is built apart from the program and may be
 * older or newer than it. Rules that keep both sides working together:
 *   - Records only ever grow at their end, and a plug-in says which version of
 *     this interface it was written for (RegisterPluginVersion).
 *   - Nothing throws across this interface, in either direction.
 *   - Every routine the plug-in uses is asked for by name through the resolver;
 *     a name the host does not know gives NULL, and a NULL routine is never
 *     called.
 *
 * Ownership. Strings and objects are reference counted. A string or object
 * passed as a parameter is lent for the duration of the call: keep a copy of a
 * string's bytes, or take a reference to an object (REALLockObject), to hold on
 * to it. A string or object returned as a result is a new reference that the
 * receiver releases (REALUnlockString, REALUnlockObject). A NULL string stands
 * for the empty string; a NULL object for "none".
 *
 * Calling convention of class and interface methods: the object first, then
 * the parameters in declaration order. Declaration types map to C types as
 * Integer -> int32_t, Boolean -> bool, String -> REALstring, and any class or
 * interface name (MemoryBlock, FolderItem, IStreamWriter, ...) -> REALobject.
 * A method without a result returns void.
 */
#ifndef PELLARC_PLATFORM_PLUGIN_PLUGINABI_H
#define PELLARC_PLATFORM_PLUGIN_PLUGINABI_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this interface the host provides. */
#define REAL_PLUGIN_INTERFACE_VERSION 6

/* A routine of unknown type, as the resolver hands it out; cast it to the
 * routine's own type (the *Proc types below) before calling it. */
typedef void (*REALproc)(void);

/* What a host string points at. Plug-ins read these two fields and nothing
 * else; the bytes stay valid while the string is referenced. */
typedef struct REALstringRecord {
  const unsigned char* bytes;
  int32_t length;
} REALstringRecord;
typedef const REALstringRecord* REALstring;

/* Any host object: a memory block, a folder item, an instance of a registered
 * class, or one of the host's own objects implementing an interface. */
typedef struct REALobjectRecord* REALobject;

/* How this system names a file: by its path. The host fills it from a folder
 * item; a plug-in opens the file it names. NUL-terminated UTF-8. */
#define REAL_FILE_SPEC_PATH_MAX 4096
typedef struct REALfileSpec {
  char path[REAL_FILE_SPEC_PATH_MAX];
} REALfileSpec;

/* name -> routine, or NULL. */
typedef REALproc (*REALresolver)(const char* name);

/* One method: its routine (NULL in an interface definition) and its
 * declaration, e.g. "Read(count as Integer) as String". A constructor is a
 * method named "Constructor". */
typedef struct REALmethodDefinition {
  REALproc function;
  const char* declaration;
} REALmethodDefinition;

/* One property: "Integer" properties have getter int32_t (*)(REALobject) and
 * setter void (*)(REALobject, int32_t); class-typed ones (e.g. "MemoryBlock")
 * REALobject (*)(REALobject), returning a new reference, and
 * void (*)(REALobject, REALobject). A NULL setter makes it read-only. */
typedef struct REALpropertyDefinition {
  const char* name;
  const char* type;
  REALproc getter;
  REALproc setter;
} REALpropertyDefinition;

typedef struct REALclassDefinition {
  uint32_t version;            /* interface version the class is written for */
  const char* name;
  const char* superName;       /* NULL: the host's plain object class */
  uint32_t dataSize;           /* per-object record, zero-filled at creation */
  void (*constructor)(REALobject self); /* runs before any Constructor method */
  void (*destructor)(REALobject self);  /* runs when the last reference goes */
  const REALpropertyDefinition* properties;
  uint32_t propertyCount;
  const REALmethodDefinition* methods;
  uint32_t methodCount;
  const char* interfaces;      /* comma-separated interface names, or NULL */
} REALclassDefinition;

typedef struct REALinterfaceDefinition {
  uint32_t version;
  const char* name;
  const REALmethodDefinition* methods; /* declarations only */
  uint32_t methodCount;
} REALinterfaceDefinition;

/* The host routines, by the names under which they are resolved. */
typedef void (*REALRegisterPluginVersionProc)(int32_t version);  /* "RegisterPluginVersion" */
typedef double (*REALHostVersionProc)(void);                      /* "REALHostVersion" */
typedef REALstring (*REALBuildStringProc)(const void* bytes, int32_t length); /* "REALBuildString", copies */
typedef void (*REALUnlockStringProc)(REALstring string);          /* "REALUnlockString" */
typedef void (*REALLockObjectProc)(REALobject object);            /* "REALLockObject" */
typedef void (*REALUnlockObjectProc)(REALobject object);          /* "REALUnlockObject" */
typedef REALobject (*REALNewMemoryBlockProc)(int32_t size);       /* "newMemoryBlock", zero-filled */
typedef void* (*REALMemoryBlockGetPtrProc)(REALobject block);     /* "memoryBlockGetPtr" */
typedef int32_t (*REALMemoryBlockGetSizeProc)(REALobject block);  /* "memoryBlockGetSize" */
typedef void (*REALRegisterClassProc)(const REALclassDefinition* definition);         /* "PluginRegisterClass" */
typedef void (*REALRegisterInterfaceProc)(const REALinterfaceDefinition* definition); /* "PluginRegisterInterface" */
/* "GetInterfaceRoutine": the routine implementing `method` of `interfaceName`
 * for this object, or NULL when the object does not implement it. */
typedef REALproc (*REALGetInterfaceRoutineProc)(REALobject object, const char* interfaceName,
                                                const char* method);
/* "REALFSSpecFromFolderItem": 0 when `spec` was filled, else a negative code. */
typedef int32_t (*REALFSSpecFromFolderItemProc)(REALfileSpec* spec, REALobject folderItem);
typedef REALstring (*REALPathFromFolderItemProc)(REALobject folderItem); /* "REALpathFromFolderItem" */
/* "REALGetClassData": the per-object record of an instance of the class
 * `definition` describes, or NULL when the object is no such instance. */
typedef void* (*REALGetClassDataProc)(REALobject object, const REALclassDefinition* definition);

/* The one symbol a plug-in exports. The host calls it once after loading. */
#define REAL_PLUGIN_ENTRY_NAME "REALPluginMain"
typedef void (*REALPluginMainProc)(REALresolver resolver);

#ifdef __cplusplus
}
#endif

#endif /* PELLARC_PLATFORM_PLUGIN_PLUGINABI_H */
