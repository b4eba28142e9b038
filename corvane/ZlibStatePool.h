#pragma once
// Deflate and inflate states kept for reuse between streams.
//
// An archive opens one stream per entry, up to 65,535 of them. zlib's deflate
// state is about 270 KiB; creating and ending one per stream makes the C
// library hand that memory back to the system and fault it in again, which
// costs far more than the stream's work on a small entry. A finished state is
// reset instead and kept here for the next stream, so that opening a stream
// costs a reset. Resetting leaves a state exactly as a fresh one, so the bytes
// a stream produces don't depend on whether its state was reused.
//
// The pool is shared by all streams of the process and locked; it keeps a few
// states of each kind and ends the rest.
#include <zlib.h>

namespace corvane {

// A raw deflate state (window bits -15, memory level 8) for `level` and
// `strategy`; *result is zlib's code. Null on failure.
z_stream* TakeDeflateState(int level, int strategy, int* result);
// Gives a state back, with the level and strategy it was taken for. Only a
// state that finished its stream is kept; any other is ended. Returns what
// ending the state returns (0 for a kept state).
int GiveBackDeflateState(z_stream* state, int level, int strategy, bool finished);

// A raw inflate state (window bits -15); null on failure.
z_stream* TakeInflateState(int* result);
int GiveBackInflateState(z_stream* state);

}  // namespace corvane
