#pragma once
// The program's side of Corvane's ZStreamReader: a decompressing stream with
// a block buffer. ReadBlock fills Buffer() with up to its size in bytes;
// ProcessBoundBlock passes such a block straight on to a bound ZStreamWriter
// that was given the same memory block as its buffer, so that a reader feeds a
// writer without strings in between.
//
// Only hosts from version 5.5 on have this class; the constructors raise
// RuntimeException when the host did not start or lacks it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "platform/plugin/HostRuntime.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/StreamInterfaces.h"

class ZStreamWriter;

class ZStreamReader {
 public:
  // A null buffer gives the stream a fresh 4096-byte block.
  ZStreamReader(std::shared_ptr<PluginHost> host, const FolderItem& src,
                MemoryBlockPtr buffer = nullptr);
  // `reader` is used as an IBinaryStreamReader.
  ZStreamReader(std::shared_ptr<PluginHost> host, std::shared_ptr<IStreamReader> reader,
                MemoryBlockPtr buffer = nullptr);
  ZStreamReader(const ZStreamReader&) = delete;
  ZStreamReader& operator=(const ZStreamReader&) = delete;

  std::string Read(int32_t count);
  void Close();
  void Seek(int32_t offset, bool relative);
  int32_t LastError() const;
  bool Eof() const;
  // Bytes placed in Buffer(), 0 at the end, -1 after an error.
  int32_t ReadBlock();
  // Null unbinds.
  void Bind(const ZStreamWriter* writer);
  void ProcessBoundBlock();
  int32_t Position() const;
  MemoryBlockPtr Buffer() const;
  void SetBuffer(MemoryBlockPtr block);

 private:
  std::shared_ptr<PluginHost> host_;
  const pluginhost::ClassBinding* binding_ = nullptr;
  pluginhost::ObjectRef object_;
};
