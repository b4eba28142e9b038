#pragma once
// A progress bar for long work, drawn on stderr while it is a terminal.
//
// Nothing is drawn for output that is not the process's own stderr (tests,
// pipes, files), when the user asked for quiet, or during the first half
// second: short commands never flicker. Anything else written to stderr
// while a bar shows must call Clear first, so that the line does not end up
// in the middle of the bar; the next Advance draws it again.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "engine/ZipProgressNotifier.h"

namespace cli {

class Progress {
 public:
  Progress(std::ostream& err, bool quiet, uint64_t total, std::string label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `bytes` more of the total are done.
  void Advance(uint64_t bytes);
  // Removes the bar from the terminal.
  void Clear();
  // Whether anything will ever be drawn.
  bool Enabled() const { return enabled_; }

 private:
  void draw();

  std::ostream& err_;
  bool enabled_;
  uint64_t total_;
  uint64_t done_ = 0;
  std::string label_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

// Moves a bar while an entry's data moves, from the engine's reports, so
// that one large entry does not leave it standing still.
class EntryProgress : public ZipProgressNotifier {
 public:
  explicit EntryProgress(Progress& progress) : progress_(progress) {}
  void ReportProgress(ZipEntry& entry, int32_t total, int32_t done, bool& abort) override;
  // The entry is over, however it ended: the bar moves past all of it.
  void EntryDone(uint64_t size);

 private:
  Progress& progress_;
  uint64_t entryDone_ = 0;
};

}  // namespace cli
