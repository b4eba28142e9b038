#pragma once
// The three classes Corvane offers its host: ZStream (strings in and out,
// for objects or a file), ZStreamReader and ZStreamWriter (the same engine,
// plus a block buffer through which a reader feeds a writer without strings in
// between). Each object wraps at most one engine stream in one direction.
#include "platform/plugin/PluginABI.h"

namespace corvane {

const REALclassDefinition* ZStreamClass();
const REALclassDefinition* ZStreamReaderClass();
const REALclassDefinition* ZStreamWriterClass();

}  // namespace corvane
