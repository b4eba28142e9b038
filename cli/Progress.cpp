#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace cli {
namespace {

constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

std::string megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

Progress::Progress(std::ostream& err, bool quiet, uint64_t total, std::string label)
    : err_(err),
      enabled_(!quiet && &err == &std::cerr && ::isatty(STDERR_FILENO) == 1),
      total_(total),
      label_(std::move(label)),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

Progress::~Progress() { Clear(); }

void Progress::Advance(uint64_t bytes) {
  done_ += bytes;
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < kDelay || (shown_ && now - lastDraw_ < kInterval)) return;
  lastDraw_ = now;
  draw();
}

void Progress::draw() {
  const uint64_t done = std::min(done_, total_);
  const double fraction = total_ == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total_);
  const int filled = static_cast<int>(fraction * kBarWidth);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
  err_ << "\r" << label_ << " " << percent << " [" << std::string(filled, '#')
       << std::string(kBarWidth - filled, ' ') << "] " << megabytes(done) << " of "
       << megabytes(total_) << "\x1b[K" << std::flush;
  shown_ = true;
}

void Progress::Clear() {
  if (!shown_) return;
  err_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

void EntryProgress::ReportProgress(ZipEntry&, int32_t, int32_t done, bool&) {
  // Sizes come as the record's signed 32-bit values.
  const uint64_t now = static_cast<uint32_t>(done);
  if (now > entryDone_) {
    progress_.Advance(now - entryDone_);
    entryDone_ = now;
  }
}

void EntryProgress::EntryDone(uint64_t size) {
  if (size > entryDone_) progress_.Advance(size - entryDone_);
  entryDone_ = 0;
}

}  // namespace cli
