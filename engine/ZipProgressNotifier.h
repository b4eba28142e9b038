#pragma once
// Progress and abort callbacks that a caller hands to an archive with
// ZipArchive::SetProgressMonitor. The archive keeps the notifier in its shared
// state, so its entries reach it too (extraction reports progress through it).
//
// Every call comes on the caller's own thread, from inside the running
// operation. Setting `abort` to true asks that operation to stop; it then
// ends with its "Aborted" result. The defaults do nothing, so a caller
// implements only what it wants to hear about.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FolderItem.h"

class ZipEntry;

class ZipProgressNotifier {
 public:
  virtual ~ZipProgressNotifier() = default;

  // `done` of `total` uncompressed bytes of `entry` have been handled. Comes
  // once with 0 before the first byte and once with `total` at the end, also
  // when the operation was aborted.
  virtual void ReportProgress(ZipEntry& /*entry*/, int32_t /*total*/, int32_t /*done*/,
                              bool& /*abort*/) {}
  // `item` of a folder could not be added; leaving `abort` false lets the
  // folder operation go on with the next item.
  virtual void ReportError(const FolderItem& /*item*/, int32_t /*code*/,
                           const std::string& /*message*/, bool& /*abort*/) {}
  // `item` of a folder is about to be added.
  virtual void WillAddItem(const FolderItem& /*item*/, bool& /*abort*/) {}
};

using ZipProgressNotifierPtr = std::shared_ptr<ZipProgressNotifier>;
