#include "platform/plugin/HostRuntime.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace pluginhost {
namespace {

// ---- Strings: one allocation, the bytes behind the head -------------------

struct StringRecord {
  REALstringRecord head;
  int32_t refs;
  bool borrowed;
};

REALstring BuildString(const void* bytes, int32_t length) {
  if (length < 0 || (length > 0 && !bytes)) return nullptr;
  void* memory = std::malloc(sizeof(StringRecord) + static_cast<size_t>(length) + 1);
  if (!memory) return nullptr;
  auto* record = static_cast<StringRecord*>(memory);
  auto* text = reinterpret_cast<unsigned char*>(record + 1);
  if (length > 0) std::memcpy(text, bytes, static_cast<size_t>(length));
  text[length] = 0;
  record->head.bytes = text;
  record->head.length = length;
  record->refs = 1;
  record->borrowed = false;
  return &record->head;
}

void UnlockString(REALstring string) {
  if (!string) return;
  // The head is the record's first member.
  auto* record = reinterpret_cast<StringRecord*>(const_cast<REALstringRecord*>(string));
  if (record->borrowed) return;
  if (--record->refs == 0) std::free(record);
}

// ---- Host objects holding a C++ value -------------------------------------

template <typename T>
struct ValueObject : REALobjectRecord {
  T value;
  // Set when a C++ method let an exception out; reported as LastError.
  int32_t boundaryError = 0;
};

template <typename T>
ValueObject<T>* AsValue(REALobject object) {
  return static_cast<ValueObject<T>*>(object);
}

template <typename T>
class ValueClass : public HostClass {
 public:
  using HostClass::HostClass;
  void Destroy(REALobject object) const override { delete AsValue<T>(object); }
  REALproc InterfaceRoutine(REALobject, std::string_view, std::string_view) const override {
    return nullptr;
  }
  ObjectRef Make(T value) const {
    auto* object = new ValueObject<T>{};
    object->cls = this;
    object->refs = 1;
    object->value = std::move(value);
    return ObjectRef::Adopt(object);
  }
};

const ValueClass<MemoryBlockPtr> memoryBlockClass("MemoryBlock");
const ValueClass<FolderItem> folderItemClass("FolderItem");

template <typename F>
REALproc Proc(F* f) {
  return reinterpret_cast<REALproc>(f);
}

// ---- C++ writers and readers as host objects -------------------------------

using WriterObject = ValueObject<std::shared_ptr<IStreamWriter>>;
using ReaderObject = ValueObject<std::shared_ptr<IStreamReader>>;

void WriterWrite(REALobject self, REALstring data) {
  auto* object = static_cast<WriterObject*>(self);
  try {
    object->value->Write(StringView(data));
  } catch (...) {
    object->boundaryError = -1;
  }
}

int32_t WriterLastError(REALobject self) {
  auto* object = static_cast<WriterObject*>(self);
  if (object->boundaryError != 0) return object->boundaryError;
  try {
    return object->value->LastError();
  } catch (...) {
    return object->boundaryError = -1;
  }
}

REALstring ReaderRead(REALobject self, int32_t count) {
  auto* object = static_cast<ReaderObject*>(self);
  try {
    const std::string bytes = object->value->Read(count);
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
      object->boundaryError = -1;
      return nullptr;
    }
    return bytes.empty() ? nullptr : BuildString(bytes.data(), static_cast<int32_t>(bytes.size()));
  } catch (...) {
    object->boundaryError = -1;
    return nullptr;
  }
}

int32_t ReaderLastError(REALobject self) {
  auto* object = static_cast<ReaderObject*>(self);
  if (object->boundaryError != 0) return object->boundaryError;
  try {
    return object->value->LastError();
  } catch (...) {
    return object->boundaryError = -1;
  }
}

bool ReaderEof(REALobject self) {
  auto* object = static_cast<ReaderObject*>(self);
  try {
    return object->value->Eof();
  } catch (...) {
    object->boundaryError = -1;
    return true;
  }
}

class WriterClass : public ValueClass<std::shared_ptr<IStreamWriter>> {
 public:
  WriterClass() : ValueClass("StreamWriter") {}
  REALproc InterfaceRoutine(REALobject, std::string_view interfaceName,
                            std::string_view method) const override {
    if (interfaceName != "IStreamWriter" && interfaceName != "IBinaryStreamWriter") return nullptr;
    if (method == "Write") return Proc(&WriterWrite);
    if (method == "LastError") return Proc(&WriterLastError);
    return nullptr;
  }
};

class ReaderClass : public ValueClass<std::shared_ptr<IStreamReader>> {
 public:
  ReaderClass() : ValueClass("StreamReader") {}
  REALproc InterfaceRoutine(REALobject, std::string_view interfaceName,
                            std::string_view method) const override {
    const bool binary = interfaceName == "IBinaryStreamReader";
    if (interfaceName != "IStreamReader" && !binary) return nullptr;
    if (method == "Read") return Proc(&ReaderRead);
    if (method == "LastError") return Proc(&ReaderLastError);
    if (method == "EOF" && binary) return Proc(&ReaderEof);
    return nullptr;
  }
};

const WriterClass writerClass;
const ReaderClass readerClass;

// ---- The routines, as a plug-in sees them ----------------------------------

void LockObject(REALobject object) { Retain(object); }
void UnlockObject(REALobject object) { Release(object); }

REALobject NewMemoryBlock(int32_t size) {
  if (size < 0) return nullptr;
  try {
    return memoryBlockClass.Make(MemoryBlock::Make(size)).Detach();
  } catch (...) {
    // No memory: the plug-in gets none, which it handles.
    return nullptr;
  }
}

void* MemoryBlockGetPtr(REALobject object) {
  MemoryBlockPtr block = MemoryBlockOf(object);
  return block ? block->Address(0) : nullptr;
}

int32_t MemoryBlockGetSize(REALobject object) {
  MemoryBlockPtr block = MemoryBlockOf(object);
  return block ? block->Size() : 0;
}

int32_t FSSpecFromFolderItem(REALfileSpec* spec, REALobject object) {
  constexpr int32_t kBadName = -37;
  if (!spec || !object || object->cls != &folderItemClass) return kBadName;
  const std::string path = AsValue<FolderItem>(object)->value.NativePath();
  if (path.empty() || path.size() >= sizeof spec->path) return kBadName;
  std::memcpy(spec->path, path.c_str(), path.size() + 1);
  return 0;
}

REALstring PathFromFolderItem(REALobject object) {
  if (!object || object->cls != &folderItemClass) return nullptr;
  const std::string path = AsValue<FolderItem>(object)->value.NativePath();
  return BuildString(path.data(), static_cast<int32_t>(path.size()));
}

void* GetClassData(REALobject object, const REALclassDefinition* definition) {
  return object ? object->cls->ClassData(object, definition) : nullptr;
}

}  // namespace

REALstring NewString(std::string_view bytes) {
  return BuildString(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void ReleaseString(REALstring string) { UnlockString(string); }

std::string_view StringView(REALstring string) {
  if (!string || string->length <= 0) return {};
  return {reinterpret_cast<const char*>(string->bytes), static_cast<size_t>(string->length)};
}

BorrowedString::BorrowedString(std::string_view bytes)
    : record_{{reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<int32_t>(bytes.size())},
              1,
              true} {}

REALstring BorrowedString::get() const { return &record_.head; }

void Retain(REALobject object) {
  if (object) ++object->refs;
}

void Release(REALobject object) {
  if (object && --object->refs == 0) object->cls->Destroy(object);
}

ObjectRef ObjectRef::Adopt(REALobject object) { return ObjectRef(object); }

ObjectRef ObjectRef::Share(REALobject object) {
  Retain(object);
  return ObjectRef(object);
}

ObjectRef& ObjectRef::operator=(ObjectRef&& other) noexcept {
  if (this != &other) {
    Release(object_);
    object_ = std::exchange(other.object_, nullptr);
  }
  return *this;
}

REALobject ObjectRef::Detach() { return std::exchange(object_, nullptr); }

ObjectRef WrapMemoryBlock(MemoryBlockPtr block) {
  return block ? memoryBlockClass.Make(std::move(block)) : ObjectRef();
}

MemoryBlockPtr MemoryBlockOf(REALobject object) {
  if (!object || object->cls != &memoryBlockClass) return nullptr;
  return AsValue<MemoryBlockPtr>(object)->value;
}

ObjectRef WrapFolderItem(const FolderItem& item) { return folderItemClass.Make(item); }

ObjectRef WrapWriter(std::shared_ptr<IStreamWriter> writer) {
  return writer ? writerClass.Make(std::move(writer)) : ObjectRef();
}

ObjectRef WrapReader(std::shared_ptr<IStreamReader> reader) {
  return reader ? readerClass.Make(std::move(reader)) : ObjectRef();
}

REALproc ObjectInterfaceRoutine(REALobject object, const char* interfaceName, const char* method) {
  if (!object || !interfaceName || !method) return nullptr;
  return object->cls->InterfaceRoutine(object, interfaceName, method);
}

REALproc FindRoutine(std::string_view name) {
  struct Entry {
    std::string_view name;
    REALproc routine;
  };
  static const Entry kRoutines[] = {
      {"REALBuildString", Proc(&BuildString)},
      {"REALUnlockString", Proc(&UnlockString)},
      {"REALLockObject", Proc(&LockObject)},
      {"REALUnlockObject", Proc(&UnlockObject)},
      {"newMemoryBlock", Proc(&NewMemoryBlock)},
      {"memoryBlockGetPtr", Proc(&MemoryBlockGetPtr)},
      {"memoryBlockGetSize", Proc(&MemoryBlockGetSize)},
      {"GetInterfaceRoutine", Proc(&ObjectInterfaceRoutine)},
      {"REALFSSpecFromFolderItem", Proc(&FSSpecFromFolderItem)},
      {"REALpathFromFolderItem", Proc(&PathFromFolderItem)},
      {"REALGetClassData", Proc(&GetClassData)},
  };
  for (const Entry& entry : kRoutines) {
    if (entry.name == name) return entry.routine;
  }
  return nullptr;
}

}  // namespace pluginhost
