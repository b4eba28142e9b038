#include "platform/plugin/ZStream.h"

#include <utility>

#include "platform/plugin/PluginBindings.h"

using namespace pluginhost;

void ZStream::Construct(std::shared_ptr<PluginHost> host) {
  host_ = std::move(host);
  if (!host_) throw RuntimeException("No plug-in host");
  binding_ = &RequireBinding(*host_, BoundClass::kZStream, "ZStream");
  object_ = host_->NewObject(*binding_);
}

ZStream::ZStream(bool write, std::shared_ptr<IStreamWriter> writer,
                 std::shared_ptr<IStreamReader> reader)
    : ZStream(PluginHost::Instance(), write, std::move(writer), std::move(reader)) {}

ZStream::ZStream(const FolderItem& f, bool write) : ZStream(PluginHost::Instance(), f, write) {}

ZStream::ZStream(std::shared_ptr<PluginHost> host, bool write,
                 std::shared_ptr<IStreamWriter> writer, std::shared_ptr<IStreamReader> reader) {
  Construct(std::move(host));
  const ObjectRef writerObject = WrapWriter(std::move(writer));
  const ObjectRef readerObject = WrapReader(std::move(reader));
  RoutineAs<void(REALobject, bool, REALobject, REALobject)>(*binding_, kZsOnObjects)(
      object_.get(), write, writerObject.get(), readerObject.get());
}

ZStream::ZStream(std::shared_ptr<PluginHost> host, const FolderItem& f, bool write) {
  Construct(std::move(host));
  const ObjectRef file = WrapFolderItem(f);
  RoutineAs<void(REALobject, REALobject, bool)>(*binding_, kZsOnFile)(object_.get(), file.get(),
                                                                      write);
}

void ZStream::Write(std::string_view data) {
  // A plug-in string's length is 32-bit.
  constexpr size_t kLargestPiece = size_t{1} << 30;
  do {
    const std::string_view piece = data.substr(0, kLargestPiece);
    data.remove_prefix(piece.size());
    const BorrowedString text(piece);
    RoutineAs<void(REALobject, REALstring)>(*binding_, kZsWrite)(object_.get(), text.get());
  } while (!data.empty());
}

std::string ZStream::Read(int32_t count) {
  const ResultString text(
      RoutineAs<REALstring(REALobject, int32_t)>(*binding_, kZsRead)(object_.get(), count));
  return std::string(text.View());
}

void ZStream::Close() { RoutineAs<void(REALobject)>(*binding_, kZsClose)(object_.get()); }

void ZStream::Seek(int32_t offset, bool relative) {
  RoutineAs<void(REALobject, int32_t, bool)>(*binding_, kZsSeek)(object_.get(), offset, relative);
}

int32_t ZStream::LastError() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZsLastError)(object_.get());
}

bool ZStream::Eof() const { return RoutineAs<bool(REALobject)>(*binding_, kZsEof)(object_.get()); }

int32_t ZStream::ErrorValue() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZsErrorValue)(object_.get());
}

int32_t ZStream::Position() const {
  return RoutineAs<int32_t(REALobject)>(*binding_, kZsPosition)(object_.get());
}
