#include "platform/plugin/ZStreamReader.h"

#include <utility>

#include "platform/plugin/PluginBindings.h"
#include "platform/plugin/ZStreamWriter.h"

using namespace pluginhost;

ZStreamReader::ZStreamReader(std::shared_ptr<PluginHost> host, const FolderItem& src,
                             MemoryBlockPtr buffer)
    : host_(std::move(host)) {
  if (!host_) throw RuntimeException("No plug-in host");
  binding_ = &RequireBinding(*host_, BoundClass::kZStreamReader, "ZStreamReader");
  object_ = host_->NewObject(*binding_);
  const ObjectRef file = WrapFolderItem(src);
  if (buffer) {
    const ObjectRef block = WrapMemoryBlock(std::move(buffer));
    RoutineAs<void(REALobject, REALobject, REALobject)>(*binding_, kZrOnFileWithBuffer)(
        object_.get(), file.get(), block.get());
  } else {
    RoutineAs<void(REALobject, REALobject)>(*binding_, kZrOnFile)(object_.get(), file.get());
  }
}

ZStreamReader::ZStreamReader(std::shared_ptr<PluginHost> host,
                             std::shared_ptr<IStreamReader> reader, MemoryBlockPtr buffer)
    : host_(std::move(host)) {
  if (!host_) throw RuntimeException("No plug-in host");
  binding_ = &RequireBinding(*host_, BoundClass::kZStreamReader, "ZStreamReader");
  object_ = host_->NewObject(*binding_);
  const ObjectRef source = WrapReader(std::move(reader));
  if (buffer) {
    const ObjectRef block = WrapMemoryBlock(std::move(buffer));
    RoutineAs<void(REALobject, REALobject, REALobject)>(*binding_, kZrOnReaderWithBuffer)(
        object_.get(), source.get(), block.get());
  } else {
    RoutineAs<void(REALobject, REALobject)>(*binding_, kZrOnReader)(object_.get(), source.get());
  }
}

std::string ZStreamReader::Read(int32_t count) {
  const ResultString text(
      RoutineAs<REALstring(REALobject, int32_t)>(*binding_, kZrRead)(object_.get(), count));
  return std::string(text.View());
}

void ZStreamReader::Close() { RoutineAs<void(REALobject)>(*binding_, kZrClose)(object_.get()); }

void ZStreamReader::Seek(int32_t offset, bool relative) {
  RoutineAs<void(REALobject, int32_t, bool)>(*binding_, kZrSeek)(object_.get(), offset, relative);
}

int32_t ZStreamReader::LastError() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZrLastError)(object_.get());
}

bool ZStreamReader::Eof() const {
  return RoutineAs<bool(REALobject)>(*binding_, kZrEof)(object_.get());
}

int32_t ZStreamReader::ReadBlock() {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZrReadBlock)(object_.get());
}

void ZStreamReader::Bind(const ZStreamWriter* writer) {
  RoutineAs<void(REALobject, REALobject)>(*binding_, kZrBind)(
      object_.get(), writer ? writer->object_.get() : nullptr);
}

void ZStreamReader::ProcessBoundBlock() {
  RoutineAs<void(REALobject)>(*binding_, kZrProcessBoundBlock)(object_.get());
}

int32_t ZStreamReader::Position() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZrPosition)(object_.get());
}

MemoryBlockPtr ZStreamReader::Buffer() const {
  const ObjectRef block =
      ObjectRef::Adopt(RoutineAs<REALobject(REALobject)>(*binding_, kZrGetBuffer)(object_.get()));
  return MemoryBlockOf(block.get());
}

void ZStreamReader::SetBuffer(MemoryBlockPtr block) {
  const ObjectRef wrapped = WrapMemoryBlock(std::move(block));
  RoutineAs<void(REALobject, REALobject)>(*binding_, kZrSetBuffer)(object_.get(), wrapped.get());
}
