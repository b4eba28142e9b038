#pragma once
// The host's side of the plug-in interface: what its strings and objects are,
// and the routines a plug-in resolves by name. Used by PluginHost and the
// stream proxies; the layers above use those, not this.
//
// Objects carry a reference count and a HostClass that knows how to destroy
// them and which interface routines they have. Besides instances of the
// plug-in's classes there are the host's own objects: memory blocks, folder
// items, and wrappers around C++ IStreamWriter / IStreamReader objects.
// Everything runs on one thread, as the program does.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "platform/plugin/PluginABI.h"
#include "platform/plugin/StreamInterfaces.h"

namespace pluginhost {

// What the host knows of an object's class.
class HostClass {
 public:
  explicit HostClass(std::string name) : name_(std::move(name)) {}
  virtual ~HostClass() = default;
  const std::string& Name() const { return name_; }
  // Frees the object; called when its last reference goes.
  virtual void Destroy(REALobject object) const = 0;
  // The routine behind `method` of `interfaceName` for this object, or null.
  virtual REALproc InterfaceRoutine(REALobject object, std::string_view interfaceName,
                                    std::string_view method) const = 0;
  // The per-object record of a plug-in class instance, for its definition.
  virtual void* ClassData(REALobject, const REALclassDefinition*) const { return nullptr; }

 private:
  std::string name_;
};

}  // namespace pluginhost

// The head of every host object.
struct REALobjectRecord {
  const pluginhost::HostClass* cls;
  int32_t refs;
};

namespace pluginhost {

// ---- Strings ---------------------------------------------------------------

// A new string holding a copy of `bytes` (one reference, the caller's).
REALstring NewString(std::string_view bytes);
void ReleaseString(REALstring string);
// The bytes of a string; empty for none.
std::string_view StringView(REALstring string);

// A string a plug-in returned, released when this goes.
class ResultString {
 public:
  explicit ResultString(REALstring string) : string_(string) {}
  ~ResultString() { ReleaseString(string_); }
  ResultString(const ResultString&) = delete;
  ResultString& operator=(const ResultString&) = delete;
  std::string_view View() const { return StringView(string_); }

 private:
  REALstring string_;
};

// A string lent to a plug-in for the length of one call, without copying:
// a plug-in can't keep a parameter string, only its bytes.
class BorrowedString {
 public:
  explicit BorrowedString(std::string_view bytes);
  REALstring get() const;

 private:
  struct Record {
    REALstringRecord head;
    int32_t refs;
    bool borrowed;
  } record_;
};

// ---- Objects ---------------------------------------------------------------

void Retain(REALobject object);
void Release(REALobject object);

// One reference to an object, released when this goes.
class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes over a reference the caller owns.
  static ObjectRef Adopt(REALobject object);
  // Takes a new reference.
  static ObjectRef Share(REALobject object);
  ~ObjectRef() { Release(object_); }
  ObjectRef(ObjectRef&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  ObjectRef& operator=(ObjectRef&& other) noexcept;
  ObjectRef(const ObjectRef&) = delete;
  ObjectRef& operator=(const ObjectRef&) = delete;
  REALobject get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Gives the reference up to the caller.
  REALobject Detach();

 private:
  explicit ObjectRef(REALobject object) : object_(object) {}
  REALobject object_ = nullptr;
};

ObjectRef WrapMemoryBlock(MemoryBlockPtr block);
// The block behind a memory block object; null for anything else.
MemoryBlockPtr MemoryBlockOf(REALobject object);
ObjectRef WrapFolderItem(const FolderItem& item);
ObjectRef WrapWriter(std::shared_ptr<IStreamWriter> writer);
ObjectRef WrapReader(std::shared_ptr<IStreamReader> reader);

// ---- Routines a plug-in resolves -------------------------------------------

// The routines that work the same for every host (strings, objects, memory
// blocks, folder items, interface lookup), by name; null for other names.
// PluginHost's resolver answers the rest.
REALproc FindRoutine(std::string_view name);

// The interface routine of an object (GetInterfaceRoutine).
REALproc ObjectInterfaceRoutine(REALobject object, const char* interfaceName, const char* method);

}  // namespace pluginhost
