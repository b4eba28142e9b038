#pragma once
// What the application logic needs from whoever shows it: dialogs, messages,
// the progress sheet and the archive window. The desktop application
// implements it with Qt; tests implement it with scripted answers.
#include <optional>
#include <string>
#include <vector>

#include "app/core/ListRow.h"
#include "platform/FolderItem.h"

// The texts of a file or folder dialog.
struct DialogText {
  std::string title;
  std::string prompt;
  std::string actionButton;
  std::string suggestedName;  // save dialogs only
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  enum class StartChoice { NewArchive, ExistingArchive, Quit };
  // The start-up question, with its three buttons.
  virtual StartChoice AskNewOrExisting(const std::string& message) = 0;

  // Each returns none when the user cancels.
  virtual std::optional<FolderItem> AskSaveFile(const DialogText& text) = 0;
  // Lists only archives (and folders to move through).
  virtual std::optional<FolderItem> AskArchive(const DialogText& text) = 0;
  virtual std::optional<FolderItem> AskFile(const DialogText& text) = 0;
  virtual std::optional<FolderItem> AskFolder(const DialogText& text) = 0;

  virtual void ShowMessage(const std::string& text) = 0;

  // The progress sheet over the archive window. Showing it while it shows
  // leaves it showing.
  virtual void ShowProgress() = 0;
  virtual void CloseProgress() = 0;
  // Called between items of long work: keeps the window alive and answers
  // whether the user asked to stop (the sheet's Cancel button).
  virtual bool StopRequested() = 0;

  // The archive window: shown, titled, filled.
  virtual void ShowArchiveWindow() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetRows(const std::vector<ListRow>& rows) = 0;
  virtual void SetStatistics(const std::string& text) = 0;

  virtual void Quit() = 0;
};
