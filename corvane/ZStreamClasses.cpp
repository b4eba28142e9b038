#include "corvane/ZStreamClasses.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "corvane/GzStream.h"
#include "corvane/HostRoutines.h"

namespace corvane {
namespace {

using BlockWriteProc = void (*)(REALobject self, int32_t count);

// The per-object record all three classes share. The host zero-fills it;
// ZStreamConstructor does the rest.
struct ZStreamData {
  gz_stream* stream;
  int32_t errorValue;
  bool writing;
  REALobject readerRef;
  REALobject writerRef;
  // The Buffer property. Its address and size are asked for at each use, not
  // kept: a block resized after it was set must not be written past.
  REALobject bufferBlock;
  REALobject boundWriter;
  BlockWriteProc boundWriteBlock;
};

constexpr int32_t kDefaultBufferSize = 4096;
// A large Read is served in pieces, so that its buffer grows with the data
// that really arrives instead of with the count asked for.
constexpr uint32_t kReadPiece = 1u << 20;

void DefaultWriterProc(REALobject, int32_t) {}

int32_t ReportedError(const gz_stream* stream, int32_t result) {
  if (result == Z_STREAM_ERROR) return Z_STREAM_ERROR;
  // The end of the data is no error to the caller.
  return stream->lastError == Z_STREAM_END ? Z_OK : stream->lastError;
}

// No block means the default one, made on first use: a stream that never
// uses its Buffer (every ZStream) does not pay for one.
void SetBuffer(ZStreamData* d, REALobject block) {
  LockObject(block);
  UnlockObject(d->bufferBlock);
  d->bufferBlock = block;
}

REALobject Buffer(ZStreamData* d) {
  if (!d->bufferBlock) d->bufferBlock = NewMemoryBlock(kDefaultBufferSize);
  return d->bufferBlock;
}

void Constructor4(ZStreamData* d, REALobject file, bool writing, REALobject writer,
                  REALobject reader, const char* readerInterface, const char* writerInterface,
                  REALobject buffer) {
  SetBuffer(d, buffer);
  d->errorValue = 0;
  d->stream = nullptr;
  const bool onFile = writing ? !writer : !reader;
  REALstring path = nullptr;
  REALfileSpec spec;
  bool haveSpec = false;
  if (onFile) {
    path = REALpathFromFolderItem(file);
    haveSpec = REALFSSpecFromFolderItem(&spec, file);
  }
  d->writing = writing;
  try {
    const std::string pathText =
        path ? std::string(reinterpret_cast<const char*>(path->bytes), static_cast<size_t>(path->length))
             : std::string();
    d->stream = gz_open(pathText.c_str(), writing ? "wb" : "rb", haveSpec ? &spec : nullptr,
                        writer, reader, readerInterface, writerInterface);
  } catch (const std::bad_alloc&) {
    d->stream = nullptr;
  }
  UnlockString(path);
  LockObject(reader);
  LockObject(writer);
  d->readerRef = reader;
  d->writerRef = writer;
  if (!d->stream) d->errorValue = 1;
}

void WriteImpl(ZStreamData* d, REALstring data) {
  if (!d->stream || !data || data->length <= 0) return;
  d->errorValue = 0;
  const int32_t taken = gzwrite(d->stream, data->bytes, static_cast<uint32_t>(data->length));
  if (taken < data->length) d->errorValue = 1;
}

void WriteBlockImpl(ZStreamData* d, int32_t count) {
  if (!d->stream || count == 0) return;
  REALobject block = Buffer(d);
  const void* bytes = MemoryBlockPtr(block);
  // The count comes from the caller; the block decides what can be read.
  if (count < 0 || !bytes || count > MemoryBlockSize(block)) {
    d->errorValue = Z_STREAM_ERROR;
    return;
  }
  d->errorValue = 0;
  const int32_t taken = gzwrite(d->stream, bytes, static_cast<uint32_t>(count));
  if (taken < count) d->errorValue = 1;
}

REALstring ReadImpl(ZStreamData* d, int32_t count) {
  if (!d->stream || count <= 0) return nullptr;
  unsigned char* bytes = nullptr;
  size_t got = 0;
  const size_t wanted = static_cast<size_t>(count);
  int32_t result = 0;
  while (got < wanted) {
    const size_t piece = std::min<size_t>(wanted - got, kReadPiece);
    auto* grown = static_cast<unsigned char*>(std::realloc(bytes, got + piece));
    if (!grown) {
      result = Z_MEM_ERROR;
      break;
    }
    bytes = grown;
    result = gzread(d->stream, bytes + got, static_cast<uint32_t>(piece));
    if (result < 0) break;
    got += static_cast<size_t>(result);
    if (static_cast<size_t>(result) < piece) break;
  }
  d->errorValue = result == Z_MEM_ERROR ? Z_MEM_ERROR : ReportedError(d->stream, result);
  REALstring text = nullptr;
  if (got > 0) {
    text = BuildString(bytes, static_cast<int32_t>(got));
    if (!text) d->errorValue = Z_MEM_ERROR;
  }
  std::free(bytes);
  return text;
}

int32_t ReadBlockImpl(ZStreamData* d) {
  if (!d->stream) return Z_STREAM_ERROR;
  REALobject block = Buffer(d);
  void* bytes = MemoryBlockPtr(block);
  const int32_t size = bytes ? std::max(MemoryBlockSize(block), 0) : 0;
  const int32_t result = gzread(d->stream, bytes, static_cast<uint32_t>(size));
  d->errorValue = ReportedError(d->stream, result);
  return result;
}

void CloseImpl(ZStreamData* d) {
  if (!d->stream) return;
  // The marker of a full flush ends the data, as it always has. A sync flush
  // writes the same bytes when nothing follows; a full one would also clear
  // the compressor's 64 KiB hash table, which costs more than compressing a
  // small file.
  if (d->writing) d->errorValue = gzflush(d->stream, Z_SYNC_FLUSH);
  d->errorValue = gzclose(d->stream);
  d->stream = nullptr;
}

void SeekImpl(ZStreamData* d, int32_t offset, bool relative) {
  d->errorValue = 0;
  if (!d->stream || (relative && offset == 0)) return;
  if (gzseek(d->stream, offset, relative ? 1 : 0) < 0) d->errorValue = -1;
}

void BindImpl(ZStreamData* d, REALobject writer) {
  LockObject(writer);
  UnlockObject(d->boundWriter);
  d->boundWriter = writer;
  BlockWriteProc proc = nullptr;
  if (writer) {
    proc = reinterpret_cast<BlockWriteProc>(REALInterfaceRoutine(writer, "IBlockWriter", "WriteBlock"));
  }
  d->boundWriteBlock = proc ? proc : DefaultWriterProc;
}

void ProcessBoundBlockImpl(ZStreamData* d) {
  const int32_t count = ReadBlockImpl(d);
  // Nothing read, or a failure, is nothing to pass on.
  if (count > 0) d->boundWriteBlock(d->boundWriter, count);
}

void DestroyImpl(ZStreamData* d) {
  CloseImpl(d);
  UnlockObject(d->readerRef);
  UnlockObject(d->writerRef);
  UnlockObject(d->bufferBlock);
  UnlockObject(d->boundWriter);
  d->readerRef = d->writerRef = d->bufferBlock = d->boundWriter = nullptr;
}

// ---- Routines per class ----------------------------------------------------
// The host hands out an object's record only against its own class
// definition, so each class gets its own instances of the routines.

enum Kind { kZStream, kZStreamReader, kZStreamWriter };

template <Kind K>
const REALclassDefinition& Definition();
template <>
const REALclassDefinition& Definition<kZStream>();
template <>
const REALclassDefinition& Definition<kZStreamReader>();
template <>
const REALclassDefinition& Definition<kZStreamWriter>();

template <Kind K>
ZStreamData* Data(REALobject self) {
  return static_cast<ZStreamData*>(REALGetClassData(self, &Definition<K>()));
}

constexpr const char* ReaderInterface(Kind k) {
  return k == kZStream ? "IStreamReader" : "IBinaryStreamReader";
}
constexpr const char* WriterInterface(Kind k) {
  return k == kZStream ? "IStreamWriter" : "IBinaryStreamWriter";
}

template <Kind K>
void ZStreamConstructor(REALobject self) {
  if (auto* d = Data<K>(self)) d->boundWriteBlock = DefaultWriterProc;
}

template <Kind K>
void ZStreamDestructor(REALobject self) {
  if (auto* d = Data<K>(self)) DestroyImpl(d);
}

template <Kind K>
void OnFile(REALobject self, REALobject file, bool write) {
  if (auto* d = Data<K>(self)) {
    Constructor4(d, file, write, nullptr, nullptr, ReaderInterface(K), WriterInterface(K), nullptr);
  }
}

template <Kind K>
void OnFileWithBuffer(REALobject self, REALobject file, REALobject buffer) {
  if (auto* d = Data<K>(self)) {
    Constructor4(d, file, K == kZStreamWriter, nullptr, nullptr, ReaderInterface(K),
                 WriterInterface(K), buffer);
  }
}

template <Kind K>
void OnFileOnly(REALobject self, REALobject file) {
  OnFileWithBuffer<K>(self, file, nullptr);
}

void ZStreamOnObjects(REALobject self, bool write, REALobject writer, REALobject reader) {
  if (auto* d = Data<kZStream>(self)) {
    Constructor4(d, nullptr, write, writer, reader, ReaderInterface(kZStream),
                 WriterInterface(kZStream), nullptr);
  }
}

template <Kind K>
void OnObjectWithBuffer(REALobject self, REALobject object, REALobject buffer) {
  if (auto* d = Data<K>(self)) {
    const bool writing = K == kZStreamWriter;
    Constructor4(d, nullptr, writing, writing ? object : nullptr, writing ? nullptr : object,
                 ReaderInterface(K), WriterInterface(K), buffer);
  }
}

template <Kind K>
void OnObject(REALobject self, REALobject object) {
  OnObjectWithBuffer<K>(self, object, nullptr);
}

template <Kind K>
void Write(REALobject self, REALstring data) {
  if (auto* d = Data<K>(self)) WriteImpl(d, data);
}

template <Kind K>
REALstring Read(REALobject self, int32_t count) {
  auto* d = Data<K>(self);
  return d ? ReadImpl(d, count) : nullptr;
}

template <Kind K>
void Close(REALobject self) {
  if (auto* d = Data<K>(self)) CloseImpl(d);
}

template <Kind K>
void Seek(REALobject self, int32_t offset, bool relative) {
  if (auto* d = Data<K>(self)) SeekImpl(d, offset, relative);
}

template <Kind K>
int32_t LastError(REALobject self) {
  auto* d = Data<K>(self);
  return d ? d->errorValue : 0;
}

template <Kind K>
bool Eof(REALobject self) {
  auto* d = Data<K>(self);
  return d && d->stream && gzeof(d->stream) != 0;
}

template <Kind K>
int32_t Position(REALobject self) {
  auto* d = Data<K>(self);
  return d && d->stream ? gztell(d->stream) : 0;
}

template <Kind K>
REALobject GetBuffer(REALobject self) {
  auto* d = Data<K>(self);
  if (!d) return nullptr;
  REALobject block = Buffer(d);
  LockObject(block);
  return block;
}

template <Kind K>
void SetBufferProperty(REALobject self, REALobject block) {
  if (auto* d = Data<K>(self)) SetBuffer(d, block);
}

template <Kind K>
int32_t ReadBlock(REALobject self) {
  auto* d = Data<K>(self);
  return d ? ReadBlockImpl(d) : Z_STREAM_ERROR;
}

template <Kind K>
void WriteBlock(REALobject self, int32_t count) {
  if (auto* d = Data<K>(self)) WriteBlockImpl(d, count);
}

template <Kind K>
void Bind(REALobject self, REALobject writer) {
  if (auto* d = Data<K>(self)) BindImpl(d, writer);
}

template <Kind K>
void ProcessBoundBlock(REALobject self) {
  if (auto* d = Data<K>(self)) ProcessBoundBlockImpl(d);
}

template <typename F>
REALproc Proc(F* f) {
  return reinterpret_cast<REALproc>(f);
}

// ---- Definitions -----------------------------------------------------------

const REALmethodDefinition kZStreamMethods[] = {
    {Proc(&OnFile<kZStream>), "Constructor(f as FolderItem, write as Boolean)"},
    {Proc(&ZStreamOnObjects),
     "Constructor(write as Boolean, writer as IStreamWriter, reader as IStreamReader)"},
    {Proc(&Write<kZStream>), "Write(data as String)"},
    {Proc(&Read<kZStream>), "Read(count as Integer) as String"},
    {Proc(&Close<kZStream>), "Close()"},
    {Proc(&Seek<kZStream>), "Seek(offset as Integer, relative as Boolean)"},
    {Proc(&LastError<kZStream>), "LastError() as Integer"},
    {Proc(&Eof<kZStream>), "EOF() as Boolean"},
};

const REALpropertyDefinition kZStreamProperties[] = {
    {"ErrorValue", "Integer", Proc(&LastError<kZStream>), nullptr},
    {"Position", "Integer", Proc(&Position<kZStream>), nullptr},
};

const REALmethodDefinition kZStreamReaderMethods[] = {
    {Proc(&OnFileOnly<kZStreamReader>), "Constructor(src as FolderItem)"},
    {Proc(&OnObject<kZStreamReader>), "Constructor(reader as IBinaryStreamReader)"},
    {Proc(&OnFileWithBuffer<kZStreamReader>), "Constructor(src as FolderItem, buffer as MemoryBlock)"},
    {Proc(&OnObjectWithBuffer<kZStreamReader>),
     "Constructor(reader as IBinaryStreamReader, buffer as MemoryBlock)"},
    {Proc(&Read<kZStreamReader>), "Read(count as Integer) as String"},
    {Proc(&Close<kZStreamReader>), "Close()"},
    {Proc(&Seek<kZStreamReader>), "Seek(offset as Integer, relative as Boolean)"},
    {Proc(&LastError<kZStreamReader>), "LastError() as Integer"},
    {Proc(&Eof<kZStreamReader>), "EOF() as Boolean"},
    {Proc(&ReadBlock<kZStreamReader>), "ReadBlock() as Integer"},
    {Proc(&Bind<kZStreamReader>), "Bind(writer as IBlockWriter)"},
    {Proc(&ProcessBoundBlock<kZStreamReader>), "ProcessBoundBlock()"},
};

const REALpropertyDefinition kZStreamReaderProperties[] = {
    {"Position", "Integer", Proc(&Position<kZStreamReader>), nullptr},
    {"Buffer", "MemoryBlock", Proc(&GetBuffer<kZStreamReader>),
     Proc(&SetBufferProperty<kZStreamReader>)},
};

const REALmethodDefinition kZStreamWriterMethods[] = {
    {Proc(&OnFileOnly<kZStreamWriter>), "Constructor(dst as FolderItem)"},
    {Proc(&OnObject<kZStreamWriter>), "Constructor(writer as IBinaryStreamWriter)"},
    {Proc(&OnFileWithBuffer<kZStreamWriter>), "Constructor(dst as FolderItem, buffer as MemoryBlock)"},
    {Proc(&OnObjectWithBuffer<kZStreamWriter>),
     "Constructor(writer as IBinaryStreamWriter, buffer as MemoryBlock)"},
    {Proc(&Write<kZStreamWriter>), "Write(data as String)"},
    {Proc(&Close<kZStreamWriter>), "Close()"},
    {Proc(&Seek<kZStreamWriter>), "Seek(offset as Integer, relative as Boolean)"},
    {Proc(&LastError<kZStreamWriter>), "LastError() as Integer"},
    {Proc(&WriteBlock<kZStreamWriter>), "WriteBlock(count as Integer)"},
};

const REALpropertyDefinition kZStreamWriterProperties[] = {
    {"Position", "Integer", Proc(&Position<kZStreamWriter>), nullptr},
    {"Buffer", "MemoryBlock", Proc(&GetBuffer<kZStreamWriter>),
     Proc(&SetBufferProperty<kZStreamWriter>)},
};

template <typename T, size_t N>
constexpr uint32_t Count(const T (&)[N]) {
  return static_cast<uint32_t>(N);
}

template <>
const REALclassDefinition& Definition<kZStream>() {
  static const REALclassDefinition definition = {
      kPluginInterfaceVersion, "ZStream", nullptr, sizeof(ZStreamData),
      &ZStreamConstructor<kZStream>, &ZStreamDestructor<kZStream>,
      kZStreamProperties, Count(kZStreamProperties),
      kZStreamMethods, Count(kZStreamMethods),
      "IStreamWriter,IStreamReader"};
  return definition;
}

template <>
const REALclassDefinition& Definition<kZStreamReader>() {
  static const REALclassDefinition definition = {
      kPluginInterfaceVersion, "ZStreamReader", nullptr, sizeof(ZStreamData),
      &ZStreamConstructor<kZStreamReader>, &ZStreamDestructor<kZStreamReader>,
      kZStreamReaderProperties, Count(kZStreamReaderProperties),
      kZStreamReaderMethods, Count(kZStreamReaderMethods),
      "IBinaryStreamReader,IBlockReader"};
  return definition;
}

template <>
const REALclassDefinition& Definition<kZStreamWriter>() {
  static const REALclassDefinition definition = {
      kPluginInterfaceVersion, "ZStreamWriter", nullptr, sizeof(ZStreamData),
      &ZStreamConstructor<kZStreamWriter>, &ZStreamDestructor<kZStreamWriter>,
      kZStreamWriterProperties, Count(kZStreamWriterProperties),
      kZStreamWriterMethods, Count(kZStreamWriterMethods),
      "IBinaryStreamWriter,IBlockWriter"};
  return definition;
}

}  // namespace

const REALclassDefinition* ZStreamClass() { return &Definition<kZStream>(); }
const REALclassDefinition* ZStreamReaderClass() { return &Definition<kZStreamReader>(); }
const REALclassDefinition* ZStreamWriterClass() { return &Definition<kZStreamWriter>(); }

}  // namespace corvane
