#include "app/core/Module1.h"

#include <ctime>

#include "app/core/Formatting.h"
#include "app/core/RowCoverage.h"
#include "engine/ZipArchive.h"
#include "engine/ZipProgressNotifier.h"
#include "platform/Date.h"

const char Module1::kStartMessage[] =
    "Do you want to create a new archive or open an existing one?";

namespace {

ListRow makeRow(const ZipEntry& entry, int32_t index, bool folder, double size,
                double compressed) {
  ListRow row;
  auto& c = row.cells;
  c[ListRow::kName] = entry.Name();
  c[ListRow::kDate] = Module1::DateText(entry.Time());
  c[ListRow::kSize] = bytes(size);
  c[ListRow::kCompressed] = bytes(compressed);
  c[ListRow::kSizeBytes] = std::to_string(static_cast<int64_t>(size));
  c[ListRow::kCompressedBytes] = std::to_string(static_cast<int64_t>(compressed));
  c[ListRow::kKind] = folder ? "Folder" : "File";
  c[ListRow::kIndex] = std::to_string(index);
  return row;
}

// The sums of a folder row over the entries it covers, the folder entry
// itself included.
std::pair<double, double> sums(ZipArchive& archive, const std::string& folderPath) {
  double size = 0, compressed = 0;
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    ZipEntryPtr e = archive.Entry(i);
    if (RowCovers(folderPath, e->RawPath())) {
      size += e->Size();
      compressed += e->CompressedSize();
    }
  }
  return {size, compressed};
}

// Passes the sheet's Cancel to the running operation, and collects what a
// folder walk could not add.
class SheetNotifier : public ZipProgressNotifier {
 public:
  explicit SheetNotifier(UserInterface& ui) : ui(ui) {}
  void ReportProgress(ZipEntry&, int32_t, int32_t, bool& abort) override { check(abort); }
  void WillAddItem(const FolderItem&, bool& abort) override { check(abort); }
  void ReportError(const FolderItem& item, int32_t code, const std::string& message,
                   bool& abort) override {
    // Code 0 is a notice (an item left out on purpose), not a failure.
    if (code != 0) failures.push_back(item.NativePath() + ": " + message);
    check(abort);
  }
  bool stopped = false;
  std::vector<std::string> failures;

 private:
  void check(bool& abort) {
    if (!stopped) stopped = ui.StopRequested();
    abort = stopped;
  }
  UserInterface& ui;
};

}  // namespace

std::string Module1::DateText(const std::optional<Date>& time) {
  if (!time) return "-";
  std::tm tm{};
  std::time_t t = time->UnixTime();
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%x %H:%M", &tm);
  return buf;
}

std::vector<ListRow> Module1::ListRows(ZipArchive& archive) {
  std::vector<ListRow> rows;
  const int32_t count = archive.EntryCount();
  // Folder sums in one pass over the archive, not one pass per folder row.
  std::vector<std::pair<std::string, size_t>> folders;
  for (int32_t i = 1; i <= count; ++i) {
    ZipEntryPtr e = archive.Entry(i);
    if (e->Name().empty()) continue;
    const std::string path = e->RawPath();
    const auto slash = path.find('/');
    if (slash == std::string::npos) {
      rows.push_back(makeRow(*e, i, false, e->Size(), e->CompressedSize()));
    } else if (slash == path.size() - 1) {
      folders.emplace_back(path, rows.size());
      rows.push_back(makeRow(*e, i, true, 0, 0));
    }
  }
  if (!folders.empty()) {
    std::vector<double> size(folders.size()), compressed(folders.size());
    for (int32_t i = 1; i <= count; ++i) {
      ZipEntryPtr e = archive.Entry(i);
      const std::string path = e->RawPath();
      for (size_t f = 0; f < folders.size(); ++f) {
        if (RowCovers(folders[f].first, path)) {
          size[f] += e->Size();
          compressed[f] += e->CompressedSize();
        }
      }
    }
    for (size_t f = 0; f < folders.size(); ++f) {
      ListRow& row = rows[folders[f].second];
      row.cells[ListRow::kSize] = bytes(size[f]);
      row.cells[ListRow::kCompressed] = bytes(compressed[f]);
      row.cells[ListRow::kSizeBytes] = std::to_string(static_cast<int64_t>(size[f]));
      row.cells[ListRow::kCompressedBytes] = std::to_string(static_cast<int64_t>(compressed[f]));
    }
  }
  return rows;
}

void Module1::RefreshFileListFromArchive() {
  ui.ShowProgress();
  ui.SetRows({});
  std::vector<ListRow> rows;
  std::string failure;
  if (theArchiveFile) {
    ZipArchive archive;
    if (archive.Open(*theArchiveFile, false)) {
      rows = ListRows(archive);
    } else {
      failure = "The archive \"" + theArchiveFile->Name() +
                "\" can't be read: " + archive.ErrorMessage();
    }
  }
  ui.SetRows(rows);
  // Also for an empty list: the line must not go on showing the totals of
  // the archive that was current before.
  ui.SetStatistics(StatisticsText(rows));
  ui.CloseProgress();
  if (!failure.empty()) ui.ShowMessage(failure);
}

double Module1::folderSum(int32_t index, bool compressed) {
  if (!theArchiveFile) return 0;
  ZipArchive archive;
  if (!archive.Open(*theArchiveFile, false)) return 0;
  if (index < 1 || index > archive.EntryCount()) return 0;
  auto [size, packed] = sums(archive, archive.Entry(index)->RawPath());
  return compressed ? packed : size;
}

double Module1::sizeOfFolder(int32_t index) { return folderSum(index, false); }
double Module1::sizeOfFolderCompressed(int32_t index) { return folderSum(index, true); }

bool Module1::MakeNewArchive(const FolderItem& file, std::string& error) {
  ZipArchive archive;
  if (!archive.Open(file, true)) {
    error = archive.ErrorMessage();
    return false;
  }
  if (!archive.Close()) {
    error = archive.ErrorMessage();
    return false;
  }
  return true;
}

void Module1::showArchive() {
  ui.ShowArchiveWindow();
  EditorLoaded = true;
  if (theArchiveFile) ui.SetTitle(theArchiveFile->Name());
}

void Module1::LaunchTimerAction() {
  if (!theArchiveFile || !theArchiveFile->Exists()) NewOrExistingDialog();
}

void Module1::OpenDocument(const FolderItem& item) {
  theArchiveFile = item;
  showArchive();
  RefreshFileListFromArchive();
}

void Module1::NewOrExistingDialog() {
  switch (ui.AskNewOrExisting(kStartMessage)) {
    case UserInterface::StartChoice::NewArchive: MakeNewArchiveDialog(); break;
    case UserInterface::StartChoice::ExistingArchive: OpenExistingArchiveDialog(); break;
    case UserInterface::StartChoice::Quit: ui.Quit(); break;
  }
}

void Module1::MakeNewArchiveDialog() {
  auto file = ui.AskSaveFile({"Create a new archive",
                              "Choose a filename and location for your new archive.",
                              "Create archive", "MyNewArchive.zip"});
  if (!file) {
    if (EditorLoaded) {
      RefreshFileListFromArchive();
    } else {
      NewOrExistingDialog();
    }
    return;
  }
  if (file->Exists()) file->Delete();
  theArchiveFile = *file;
  std::string error;
  bool made = MakeNewArchive(*file, error);
  showArchive();
  ui.SetRows({});
  ui.SetStatistics("");
  if (!made) ui.ShowMessage("The archive \"" + file->Name() + "\" can't be created: " + error);
}

void Module1::OpenExistingArchiveDialog() {
  auto file = ui.AskArchive({"Choose an archive", "Select which archive you would like to open.",
                             "Open Archive", ""});
  if (!file) {
    if (!theArchiveFile) NewOrExistingDialog();
    return;
  }
  theArchiveFile = *file;
  showArchive();
  RefreshFileListFromArchive();
}

std::vector<std::string> Module1::rowPaths(const std::vector<ListRow>& rows) {
  std::vector<std::string> paths;
  if (!theArchiveFile) return paths;
  ZipArchive archive;
  if (!archive.Open(*theArchiveFile, false)) {
    ui.ShowMessage("The archive \"" + theArchiveFile->Name() +
                   "\" can't be read: " + archive.ErrorMessage());
    return paths;
  }
  for (const ListRow& row : rows) {
    const int32_t index = row.EntryIndex();
    if (index >= 1 && index <= archive.EntryCount()) {
      paths.push_back(archive.Entry(index)->RawPath());
    }
  }
  return paths;
}

bool Module1::deleteCovered(const std::string& rowPath) {
  ui.ShowProgress();
  ZipArchive archive;
  if (!archive.Open(*theArchiveFile, true)) {
    ui.ShowMessage("The archive \"" + theArchiveFile->Name() +
                   "\" can't be changed: " + archive.ErrorMessage());
    return false;
  }
  // From the highest index down, so the indices still to visit stay valid.
  for (int32_t n = archive.EntryCount(); n >= 1; --n) {
    if (RowCovers(rowPath, archive.Entry(n)->RawPath())) archive.RemoveEntry(n);
  }
  bool ok = archive.Compact();
  ok = archive.Close() && ok;
  if (!ok) {
    ui.ShowMessage("Deleting \"" + rowPath + "\" from the archive failed: " +
                   archive.ErrorMessage());
  }
  return ok;
}

void Module1::DeleteFolderItemFromArchive(int32_t index) {
  ListRow row;
  row.cells[ListRow::kIndex] = std::to_string(index);
  for (const std::string& path : rowPaths({row})) deleteCovered(path);
}

void Module1::DeleteSelectedItems(const std::vector<ListRow>& selected) {
  std::vector<std::string> paths = rowPaths(selected);
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    if (!deleteCovered(*it)) break;
  }
  RefreshFileListFromArchive();
}

void Module1::ExtractToFolderDialog() {
  destFolder = ui.AskFolder({"", "Select the folder where you would like to extract into.",
                             "Extract", ""});
}

bool Module1::ExtractItemFromArchive(int32_t index) {
  if (!destFolder) ExtractToFolderDialog();
  // No folder chosen: the command ends here, nothing is extracted.
  if (!destFolder || !theArchiveFile) return false;
  ui.ShowProgress();
  ZipArchive archive;
  if (!archive.Open(*theArchiveFile, false)) {
    ui.ShowMessage("The archive \"" + theArchiveFile->Name() +
                   "\" can't be read: " + archive.ErrorMessage());
    return false;
  }
  if (index < 1 || index > archive.EntryCount()) return true;
  auto notifier = std::make_shared<SheetNotifier>(ui);
  archive.SetProgressMonitor(notifier);
  const std::string rowPath = archive.Entry(index)->RawPath();
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    ZipEntryPtr entry = archive.Entry(i);
    if (!RowCovers(rowPath, entry->RawPath())) continue;
    if (notifier->stopped || ui.StopRequested()) return false;
    std::string problem;
    auto destination = entry->MakeDestination(*destFolder, false, problem);
    bool ok = destination && entry->Extract(destination, true);
    if (notifier->stopped) return false;
    if (!ok) {
      ui.ShowMessage("Extraction of \"" + entry->RawPath() + "\" failed: " +
                     (destination ? entry->ErrorMessage() : problem));
      break;
    }
  }
  return true;
}

void Module1::extractRows(const std::vector<ListRow>& rows) {
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (!ExtractItemFromArchive(it->EntryIndex())) break;
  }
  destFolder.reset();
  ui.CloseProgress();
}

void Module1::ExtractAllItems(const std::vector<ListRow>& rows) { extractRows(rows); }
void Module1::ExtractSelectedItems(const std::vector<ListRow>& selected) { extractRows(selected); }

bool Module1::addItem(const FolderItem& item, std::vector<std::string>& failures) {
  if (!theArchiveFile) return false;
  ZipArchive archive;
  if (!archive.Open(*theArchiveFile, true)) {
    failures.push_back(theArchiveFile->NativePath() + ": " + archive.ErrorMessage());
    return true;
  }
  auto notifier = std::make_shared<SheetNotifier>(ui);
  archive.SetProgressMonitor(notifier);
  const int32_t mode = ZipArchive::MacBinarySmart();
  if (archive.AddItemToRoot(item, mode) <= 0) {
    if (!notifier->stopped) failures.push_back(item.NativePath() + ": " + archive.ErrorMessage());
  } else if (item.Directory()) {
    bool walked = archive.AddFolderContents(item, archive.CleanName(item.Name()), mode, false);
    // Items that failed during the walk were reported through the notifier.
    if (!walked && !notifier->stopped && notifier->failures.empty()) {
      failures.push_back(item.NativePath() + ": " + archive.ErrorMessage());
    }
  }
  failures.insert(failures.end(), notifier->failures.begin(), notifier->failures.end());
  if (!archive.Close()) failures.push_back(theArchiveFile->NativePath() + ": " + archive.ErrorMessage());
  return !notifier->stopped;
}

void Module1::reportAddFailures(const std::vector<std::string>& failures) {
  if (failures.empty()) return;
  std::string text = "Some items could not be added:";
  for (const std::string& f : failures) text += "\n" + f;
  ui.ShowMessage(text);
}

void Module1::AddFolderItemToArchive(const FolderItem& item) {
  std::vector<std::string> failures;
  addItem(item, failures);
  reportAddFailures(failures);
}

void Module1::AddItemsToArchiveDialog() {
  auto file = ui.AskFile({"Add a file to this archive", "Select a file to add to this archive.",
                          "Add file", ""});
  if (!file) return;
  AddFolderItemToArchive(*file);
  RefreshFileListFromArchive();
}

void Module1::AddFolderToArchiveDialog() {
  auto folder = ui.AskFolder({"Add a folder to this archive",
                              "Select a folder to add to this archive.", "Add folder", ""});
  if (!folder) return;
  AddFolderItemToArchive(*folder);
  RefreshFileListFromArchive();
}

void Module1::DropItems(const std::vector<FolderItem>& items) {
  std::vector<std::string> failures;
  if (!items.empty()) {
    ui.ShowProgress();
    for (const FolderItem& item : items) {
      if (!addItem(item, failures)) break;
    }
    ui.CloseProgress();
  }
  RefreshFileListFromArchive();
  reportAddFailures(failures);
}
