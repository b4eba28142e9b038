#include "app/gui/App.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QFileSystemModel>

#include "app/core/FileKinds.h"

namespace {

FolderItem toItem(const QString& path) { return FolderItem(path.toStdString()); }

// Lists archives and the folders to reach them, nothing else.
class ArchiveFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!fs) return true;
    QModelIndex index = fs->index(row, 0, parent);
    return OpenDialogShows(fs->fileName(index).toStdString(), fs->isDir(index));
  }
};

// A file dialog with our texts: the title, the prompt above the file list and
// the caption of the action button.
std::optional<FolderItem> runDialog(QWidget* parent, const DialogText& text,
                                    QFileDialog::FileMode mode, bool save, bool archivesOnly) {
  QFileDialog dialog(parent, QString::fromStdString(text.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(mode);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (mode == QFileDialog::Directory) dialog.setOption(QFileDialog::ShowDirsOnly);
  if (!text.actionButton.empty()) {
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(text.actionButton));
  }
  if (!text.suggestedName.empty()) dialog.selectFile(QString::fromStdString(text.suggestedName));
  if (archivesOnly) dialog.setProxyModel(new ArchiveFilter(&dialog));
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()); grid && !text.prompt.empty()) {
    grid->addWidget(new QLabel(QString::fromStdString(text.prompt), &dialog), grid->rowCount(), 0,
                    1, -1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return toItem(dialog.selectedFiles().first());
}

}  // namespace

App::App() : mainWindow(std::make_unique<FrmMain>()) {
  myOpenedTimer.setSingleShot(true);
  myOpenedTimer.setInterval(200);
  connect(&myOpenedTimer, &QTimer::timeout, this, [this] { module1.LaunchTimerAction(); });
  connectCommands();
}

App::~App() = default;

void App::Open() {
  module1.EditorLoaded = false;
  module1.destFolder.reset();
  myOpenedTimer.start();
}

void App::OpenDocument(const QString& path) { module1.OpenDocument(toItem(path)); }

void App::connectCommands() {
  FrmMain* w = mainWindow.get();
  connect(w, &FrmMain::NewArchiveRequested, this, [this] { module1.MakeNewArchiveDialog(); });
  connect(w, &FrmMain::OpenArchiveRequested, this, [this] { module1.OpenExistingArchiveDialog(); });
  connect(w, &FrmMain::DeleteRequested, this,
          [this, w] { module1.DeleteSelectedItems(w->listFiles->SelectedRows()); });
  connect(w, &FrmMain::AddFileRequested, this, [this] { module1.AddItemsToArchiveDialog(); });
  connect(w, &FrmMain::AddFolderRequested, this, [this] { module1.AddFolderToArchiveDialog(); });
  connect(w, &FrmMain::ItemsDropped, this, [this](const QStringList& paths) {
    std::vector<FolderItem> items;
    for (const QString& p : paths) items.push_back(toItem(p));
    module1.DropItems(items);
  });
  connect(w, &FrmMain::ExtractRequested, this, [this, w] {
    // With no row selected every row is extracted, else the selected ones.
    std::vector<ListRow> selected = w->listFiles->SelectedRows();
    if (selected.empty()) {
      module1.ExtractAllItems(w->listFiles->Rows());
    } else {
      module1.ExtractSelectedItems(selected);
    }
  });
  connect(w, &FrmMain::AboutRequested, this, &App::ShowAbout);
  connect(w, &FrmMain::QuitRequested, this, &App::Quit);
}

UserInterface::StartChoice App::AskNewOrExisting(const std::string& message) {
  QMessageBox box(QMessageBox::Question, "Pellarc", QString::fromStdString(message),
                  QMessageBox::NoButton, mainWindow->isVisible() ? mainWindow.get() : nullptr);
  QPushButton* create = box.addButton("New Archive", QMessageBox::AcceptRole);
  QPushButton* existing = box.addButton("Existing Archive", QMessageBox::ActionRole);
  QPushButton* quit = box.addButton("Quit", QMessageBox::RejectRole);
  box.setDefaultButton(create);
  box.setEscapeButton(quit);
  box.exec();
  if (box.clickedButton() == create) return StartChoice::NewArchive;
  if (box.clickedButton() == existing) return StartChoice::ExistingArchive;
  return StartChoice::Quit;
}

std::optional<FolderItem> App::AskSaveFile(const DialogText& text) {
  return runDialog(mainWindow.get(), text, QFileDialog::AnyFile, true, false);
}

std::optional<FolderItem> App::AskArchive(const DialogText& text) {
  return runDialog(mainWindow.get(), text, QFileDialog::ExistingFile, false, true);
}

std::optional<FolderItem> App::AskFile(const DialogText& text) {
  return runDialog(mainWindow.get(), text, QFileDialog::ExistingFile, false, false);
}

std::optional<FolderItem> App::AskFolder(const DialogText& text) {
  return runDialog(mainWindow.get(), text, QFileDialog::Directory, false, false);
}

void App::ShowMessage(const std::string& text) {
  QMessageBox::warning(mainWindow->isVisible() ? mainWindow.get() : nullptr, "Pellarc",
                       QString::fromStdString(text));
}

void App::ShowProgress() {
  if (!processing) {
    processing = new FrmProcessing(mainWindow.get());
    connect(processing, &FrmProcessing::CancelRequested, this, [this] { stopRequested = true; });
  }
  stopRequested = false;
  processing->open();
  QCoreApplication::processEvents();
}

void App::CloseProgress() {
  // The sheet exists only while it shows; closing it (not cancelling it:
  // its reject() means Cancel) ends it.
  if (FrmProcessing* sheet = processing) {
    processing = nullptr;  // a show right after this gets a fresh sheet
    sheet->hide();
    sheet->deleteLater();
  }
  stopRequested = false;
}

bool App::StopRequested() {
  // Keep the window painting and the sheet's bar moving during long work.
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return stopRequested;
}

void App::ShowArchiveWindow() { mainWindow->show(); }

void App::SetTitle(const std::string& title) {
  mainWindow->setWindowTitle(QString::fromStdString(title));
}

void App::SetRows(const std::vector<ListRow>& rows) { mainWindow->listFiles->SetRows(rows); }

void App::SetStatistics(const std::string& text) {
  mainWindow->lblStats->setText(QString::fromStdString(text));
}

void App::Quit() { QCoreApplication::exit(0); }

void App::ShowAbout() {
  if (!about) about = new FrmAbout;
  about->show();
  about->raise();
  about->activateWindow();
}
