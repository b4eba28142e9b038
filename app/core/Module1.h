#pragma once
// The application's state and commands, free of any toolkit: which archive is
// current, how the list is built from it, and what the user's commands do to
// it. Every routine opens the archive afresh and closes it before returning;
// nothing stays open between commands.
//
// Listing, folder sums and extraction open the archive read-only, so that
// archives on read-only media can be browsed and extracted, and nothing is
// rewritten by merely looking.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/core/ListRow.h"
#include "app/core/UserInterface.h"
#include "platform/Date.h"
#include "platform/FolderItem.h"

class ZipArchive;

class Module1 {
 public:
  explicit Module1(UserInterface& ui) : ui(ui) {}

  // --- State ----------------------------------------------------------------
  std::optional<FolderItem> theArchiveFile;
  bool EditorLoaded = false;
  std::optional<FolderItem> destFolder;

  // --- Start-up and the current archive -------------------------------------

  // The launch timer fired: without a current archive (or when its file is
  // gone), ask whether to create or open one.
  void LaunchTimerAction();
  // An archive opened from the desktop becomes current.
  void OpenDocument(const FolderItem& item);
  void NewOrExistingDialog();
  void MakeNewArchiveDialog();
  void OpenExistingArchiveDialog();
  // Creates an empty archive file. False (with the engine's reason in
  // `error`) when it can't be created.
  static bool MakeNewArchive(const FolderItem& file, std::string& error);

  // --- The list ---------------------------------------------------------------

  // Rebuilds the rows from the current archive; an archive that can't be read
  // gives a message with the engine's reason and an empty list.
  void RefreshFileListFromArchive();
  // The rows of an open archive: one per top-level file entry and per
  // top-level folder entry, in archive order.
  static std::vector<ListRow> ListRows(ZipArchive& archive);
  // Sums of Size / CompressedSize over the entries a folder row covers.
  double sizeOfFolder(int32_t index);
  double sizeOfFolderCompressed(int32_t index);

  // The date cell: short date and time, or "-" for an entry without a time.
  static std::string DateText(const std::optional<Date>& time);

  // --- Commands ---------------------------------------------------------------

  // Deletes the entries every given row covers, then compacts the archive.
  // The rows' raw paths are all read before the first removal, since each
  // removal and compaction shifts the indices of later entries.
  void DeleteSelectedItems(const std::vector<ListRow>& selected);
  // Deletes the entries that the row of entry `index` covers.
  void DeleteFolderItemFromArchive(int32_t index);

  // Extract every row, or the selected rows, into a folder the user chooses
  // once per command. Cancelling that choice ends the command; so does the
  // progress sheet's Cancel, keeping what was extracted before it. A failing
  // entry ends its row with a message; the command goes on with the next row.
  void ExtractAllItems(const std::vector<ListRow>& rows);
  void ExtractSelectedItems(const std::vector<ListRow>& selected);
  // Extracts the entries the row of entry `index` covers into `destFolder`,
  // asking for it first when none is chosen. False when the command should
  // stop (no folder chosen, or the user asked to stop).
  bool ExtractItemFromArchive(int32_t index);
  void ExtractToFolderDialog();

  // Add a file or a folder (with everything below it) at the archive's root.
  void AddItemsToArchiveDialog();
  void AddFolderToArchiveDialog();
  // Items that can't be added are reported together in one message.
  void AddFolderItemToArchive(const FolderItem& item);
  // Dropped items, each added in turn, then one refresh of the list.
  void DropItems(const std::vector<FolderItem>& items);

  // --- Texts ------------------------------------------------------------------
  static const char kStartMessage[];

 private:
  double folderSum(int32_t index, bool compressed);
  // The raw paths of the rows' entries, read from the archive as it is now.
  std::vector<std::string> rowPaths(const std::vector<ListRow>& rows);
  bool deleteCovered(const std::string& rowPath);
  void extractRows(const std::vector<ListRow>& rows);
  // Adds one item; its failures are appended to `failures`. False when the
  // user asked to stop.
  bool addItem(const FolderItem& item, std::vector<std::string>& failures);
  void reportAddFailures(const std::vector<std::string>& failures);
  void showArchive();

  UserInterface& ui;
};
