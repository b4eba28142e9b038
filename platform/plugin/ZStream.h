#pragma once
// The program's side of Corvane's ZStream: a gzip member compressed into, or
// decompressed from, an object of the program (or a file).
//
// Usage (the archive engine's two cases):
//
//   std::shared_ptr<PluginHost> host = PluginHost::Instance();   // once, at start
//   if (!host->Ok()) { report host->Error(); stop; }
//
//   // Compressing: every produced byte goes to `writer`.
//   auto writer = std::make_shared<MyWriter>();        // : public IStreamWriter
//   ZStream out(true, writer, nullptr);
//   for (each piece of up to 16384 bytes) out.Write(piece);
//   out.Close();                                       // writes the trailer
//
//   // Decompressing: input comes from `reader`.
//   auto reader = std::make_shared<MyReader>();        // : public IStreamReader
//   ZStream in(false, nullptr, reader);
//   if (in.ErrorValue() != 0) ...;                     // could not open
//   std::string bytes = in.Read(16384);                // "" at the end
//   if (in.ErrorValue() != 0) ...;                     // -1 input, -3 data, -5 cut short
//
// Errors are zlib's codes (0 ok, -1 input/output, -2 stream, -3 data, -4
// memory, -5 buffer), or 1 when the stream could not be opened. The stream
// holds its own references to the writer and reader and drops them when it is
// destroyed; destroying an open stream closes it. The constructors raise
// RuntimeException when the plug-in host did not start (see PluginHost).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FolderItem.h"
#include "platform/plugin/HostRuntime.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/StreamInterfaces.h"

class ZStream {
 public:
  // On objects: a compressing stream (write) needs a writer, a decompressing
  // one a reader; without it the stream fails to open (LastError 1).
  ZStream(bool write, std::shared_ptr<IStreamWriter> writer, std::shared_ptr<IStreamReader> reader);
  // On a file's data.
  ZStream(const FolderItem& f, bool write);
  // The same through a host other than PluginHost::Instance().
  ZStream(std::shared_ptr<PluginHost> host, bool write, std::shared_ptr<IStreamWriter> writer,
          std::shared_ptr<IStreamReader> reader);
  ZStream(std::shared_ptr<PluginHost> host, const FolderItem& f, bool write);
  ~ZStream() = default;
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;

  // Compresses `data`; nothing happens for empty data.
  void Write(std::string_view data);
  // Up to `count` uncompressed bytes; "" at the end or after an error.
  std::string Read(int32_t count);
  // Finishes the member (trailer) and releases the engine stream.
  void Close();
  // Moves by uncompressed bytes: forward only on objects; forward in write
  // mode appends zeros.
  void Seek(int32_t offset, bool relative);
  int32_t LastError() const;
  // True once the input is exhausted.
  bool Eof() const;
  int32_t ErrorValue() const;
  int32_t Position() const;

 private:
  void Construct(std::shared_ptr<PluginHost> host);

  std::shared_ptr<PluginHost> host_;
  const pluginhost::ClassBinding* binding_ = nullptr;
  pluginhost::ObjectRef object_;
};
