#pragma once
// Reads every attribute of every entry of an open archive, the way the list
// and info views do, so that the fuzz targets reach all of the reading code.
#include "engine/ZipArchive.h"

namespace fuzzsupport {

// The encoding a target opens an archive with, chosen by one input byte:
// none (the engine decides), or one of the four the engine offers.
std::optional<TextEncoding> EncodingFor(uint8_t choice);

// Walks every entry; returns a number derived from what was read, so that
// nothing is optimised away.
size_t WalkEntries(ZipArchive& archive);

}  // namespace fuzzsupport
