#include "platform/plugin/ZStreamWriter.h"

#include <utility>

#include "platform/plugin/PluginBindings.h"

using namespace pluginhost;

ZStreamWriter::ZStreamWriter(std::shared_ptr<PluginHost> host, const FolderItem& dst,
                             MemoryBlockPtr buffer)
    : host_(std::move(host)) {
  if (!host_) throw RuntimeException("No plug-in host");
  binding_ = &RequireBinding(*host_, BoundClass::kZStreamWriter, "ZStreamWriter");
  object_ = host_->NewObject(*binding_);
  const ObjectRef file = WrapFolderItem(dst);
  if (buffer) {
    const ObjectRef block = WrapMemoryBlock(std::move(buffer));
    RoutineAs<void(REALobject, REALobject, REALobject)>(*binding_, kZwOnFileWithBuffer)(
        object_.get(), file.get(), block.get());
  } else {
    RoutineAs<void(REALobject, REALobject)>(*binding_, kZwOnFile)(object_.get(), file.get());
  }
}

ZStreamWriter::ZStreamWriter(std::shared_ptr<PluginHost> host,
                             std::shared_ptr<IStreamWriter> writer, MemoryBlockPtr buffer)
    : host_(std::move(host)) {
  if (!host_) throw RuntimeException("No plug-in host");
  binding_ = &RequireBinding(*host_, BoundClass::kZStreamWriter, "ZStreamWriter");
  object_ = host_->NewObject(*binding_);
  const ObjectRef sink = WrapWriter(std::move(writer));
  if (buffer) {
    const ObjectRef block = WrapMemoryBlock(std::move(buffer));
    RoutineAs<void(REALobject, REALobject, REALobject)>(*binding_, kZwOnWriterWithBuffer)(
        object_.get(), sink.get(), block.get());
  } else {
    RoutineAs<void(REALobject, REALobject)>(*binding_, kZwOnWriter)(object_.get(), sink.get());
  }
}

void ZStreamWriter::Write(std::string_view data) {
  constexpr size_t kLargestPiece = size_t{1} << 30;
  do {
    const std::string_view piece = data.substr(0, kLargestPiece);
    data.remove_prefix(piece.size());
    const BorrowedString text(piece);
    RoutineAs<void(REALobject, REALstring)>(*binding_, kZwWrite)(object_.get(), text.get());
  } while (!data.empty());
}

void ZStreamWriter::Close() { RoutineAs<void(REALobject)>(*binding_, kZwClose)(object_.get()); }

void ZStreamWriter::Seek(int32_t offset, bool relative) {
  RoutineAs<void(REALobject, int32_t, bool)>(*binding_, kZwSeek)(object_.get(), offset, relative);
}

int32_t ZStreamWriter::LastError() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZwLastError)(object_.get());
}

void ZStreamWriter::WriteBlock(int32_t count) {
  RoutineAs<void(REALobject, int32_t)>(*binding_, kZwWriteBlock)(object_.get(), count);
}

int32_t ZStreamWriter::Position() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZwPosition)(object_.get());
}

MemoryBlockPtr ZStreamWriter::Buffer() const {
  const ObjectRef block =
      ObjectRef::Adopt(RoutineAs<REALobject(REALobject)>(*binding_, kZwGetBuffer)(object_.get()));
  return MemoryBlockOf(block.get());
}

void ZStreamWriter::SetBuffer(MemoryBlockPtr block) {
  const ObjectRef wrapped = WrapMemoryBlock(std::move(block));
  RoutineAs<void(REALobject, REALobject)>(*binding_, kZwSetBuffer)(object_.get(), wrapped.get());
}
