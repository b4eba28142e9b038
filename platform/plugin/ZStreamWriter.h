#pragma once
// The program's side of Corvane's ZStreamWriter: a compressing stream with a
// block buffer. WriteBlock(count) compresses the first `count` bytes of
// Buffer(); a count outside the block is refused (LastError -2). A
// ZStreamReader bound to this writer calls WriteBlock for it.
//
// Only hosts from version 5.5 on have this class; the constructors raise
// RuntimeException when the host did not start or lacks it.
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "platform/plugin/HostRuntime.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/StreamInterfaces.h"

class ZStreamWriter {
 public:
  // A null buffer gives the stream a fresh 4096-byte block.
  ZStreamWriter(std::shared_ptr<PluginHost> host, const FolderItem& dst,
                MemoryBlockPtr buffer = nullptr);
  // `writer` is used as an IBinaryStreamWriter.
  ZStreamWriter(std::shared_ptr<PluginHost> host, std::shared_ptr<IStreamWriter> writer,
                MemoryBlockPtr buffer = nullptr);
  ZStreamWriter(const ZStreamWriter&) = delete;
  ZStreamWriter& operator=(const ZStreamWriter&) = delete;

  void Write(std::string_view data);
  void Close();
  void Seek(int32_t offset, bool relative);
  int32_t LastError() const;
  void WriteBlock(int32_t count);
  int32_t Position() const;
  MemoryBlockPtr Buffer() const;
  void SetBuffer(MemoryBlockPtr block);

 private:
  friend class ZStreamReader;
  std::shared_ptr<PluginHost> host_;
  const pluginhost::ClassBinding* binding_ = nullptr;
  pluginhost::ObjectRef object_;
};
