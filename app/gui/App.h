#pragma once
// The application object: owns the archive window, the progress sheet and the
// about window, runs the start-up sequence, and answers the application
// logic's questions with Qt dialogs.
//
// The modal dialogs are virtual so that tests can script their answers while
// everything else stays real.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/core/Module1.h"
#include "app/core/UserInterface.h"
#include "app/gui/FrmAbout.h"
#include "app/gui/FrmMain.h"
#include "app/gui/FrmProcessing.h"

class App : public QObject, public UserInterface {
  Q_OBJECT
 public:
  App();
  ~App() override;

  // The start: the 200 ms launch timer, after which the start-up question
  // comes unless an archive was opened from the desktop meanwhile.
  void Open();
  // An archive opened from the desktop (a file given on the command line).
  void OpenDocument(const QString& path);

  Module1& module() { return module1; }
  FrmMain* frmMain() { return mainWindow.get(); }
  FrmProcessing* frmProcessing() { return processing; }
  FrmAbout* frmAbout() { return about; }
  QTimer& LaunchTimer() { return myOpenedTimer; }

  // UserInterface
  StartChoice AskNewOrExisting(const std::string& message) override;
  std::optional<FolderItem> AskSaveFile(const DialogText& text) override;
  std::optional<FolderItem> AskArchive(const DialogText& text) override;
  std::optional<FolderItem> AskFile(const DialogText& text) override;
  std::optional<FolderItem> AskFolder(const DialogText& text) override;
  void ShowMessage(const std::string& text) override;
  void ShowProgress() override;
  void CloseProgress() override;
  bool StopRequested() override;
  void ShowArchiveWindow() override;
  void SetTitle(const std::string& title) override;
  void SetRows(const std::vector<ListRow>& rows) override;
  void SetStatistics(const std::string& text) override;
  void Quit() override;

  void ShowAbout();

 private:
  void connectCommands();

  Module1 module1{*this};
  std::unique_ptr<FrmMain> mainWindow;
  QPointer<FrmProcessing> processing;
  QPointer<FrmAbout> about;
  QTimer myOpenedTimer;
  bool stopRequested = false;
};
