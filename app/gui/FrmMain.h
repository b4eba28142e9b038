#pragma once
// The document window of the current archive: the list, the toolbar, the File
// menu and the statistics line. It only shows and asks; the commands behind
// its actions are connected by the application object.
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

#include "app/gui/FSGradientListbox.h"

class FrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit FrmMain(QWidget* parent = nullptr);

  FSGradientListbox* listFiles = nullptr;
  QLabel* lblStats = nullptr;
  QToolBar* toolbar = nullptr;
  QAction* toolNewArchive = nullptr;
  QAction* toolAddFile = nullptr;
  QAction* toolAddFolder = nullptr;
  QAction* toolDeleteFile = nullptr;
  QAction* toolExtract = nullptr;

  QMenu* FileMenu = nullptr;
  QAction* FileNewArchive = nullptr;
  QAction* FileOpenArchive = nullptr;
  QAction* FileExtractAll = nullptr;
  QAction* FileAddFiletoArchive = nullptr;
  QAction* FileAddFoldertoArchive = nullptr;
  QAction* FileDeleteFileFolder = nullptr;
  QAction* AppleAboutPellarc = nullptr;
  QAction* FileQuit = nullptr;

  // The selection rule: captions and enabling follow the number of selected
  // rows.
  void listFiles_Change();

 signals:
  void NewArchiveRequested();
  void OpenArchiveRequested();
  void AddFileRequested();
  void AddFolderRequested();
  void DeleteRequested();
  // With no row selected: every row; otherwise the selected rows.
  void ExtractRequested();
  void AboutRequested();
  void QuitRequested();
  void ItemsDropped(const QStringList& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void buildToolbar();
  void enableMenuItems();
};
