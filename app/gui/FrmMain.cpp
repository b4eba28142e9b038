#include "app/gui/FrmMain.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/core/Formatting.h"
#include "app/gui/Artwork.h"

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Untitled Archive");
  setMinimumSize(564, 250);
  setMaximumSize(32000, 32000);
  resize(564, 250);
  // A document window with no close button: the archive window lives as long
  // as the program.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint |
                 Qt::CustomizeWindowHint);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(217, 217, 217));
  setPalette(pal);
  setAutoFillBackground(true);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  listFiles = new FSGradientListbox(central);
  listFiles->setObjectName("listFiles");
  layout->addWidget(listFiles, 1);
  lblStats = new QLabel(central);
  lblStats->setObjectName("lblStats");
  QFont statsFont = lblStats->font();
  statsFont.setPixelSize(11);  // classic Mac points: one point a pixel
  lblStats->setFont(statsFont);
  lblStats->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblStats->setStyleSheet("color: black");
  lblStats->setContentsMargins(2, 0, 2, 0);
  lblStats->setFixedHeight(16);
  layout->addWidget(lblStats);
  setCentralWidget(central);

  buildToolbar();
  buildMenu();
  connect(listFiles, &QTreeWidget::itemSelectionChanged, this, &FrmMain::listFiles_Change);
  connect(listFiles, &FSGradientListbox::ItemsDropped, this, &FrmMain::ItemsDropped);
  listFiles_Change();
}

void FrmMain::buildToolbar() {
  toolbar = addToolBar("Toolbar");
  toolbar->setObjectName("toolbar");
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar->setIconSize(QSize(32, 32));
  toolNewArchive = toolbar->addAction(artwork::Toolbar(artwork::ToolIcon::NewArchive), "New Archive");
  toolAddFile = toolbar->addAction(artwork::Toolbar(artwork::ToolIcon::AddFile), "Add File");
  toolAddFolder = toolbar->addAction(artwork::Toolbar(artwork::ToolIcon::AddFolder), "Add Folder");
  toolDeleteFile = toolbar->addAction(artwork::Toolbar(artwork::ToolIcon::DeleteFile), "Delete File");
  toolDeleteFile->setEnabled(false);
  // A flexible space pushes the extract item to the right edge.
  auto* spacer = new QWidget(toolbar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar->addWidget(spacer);
  toolExtract = toolbar->addAction(artwork::Toolbar(artwork::ToolIcon::Extract), "Extract All");

  connect(toolNewArchive, &QAction::triggered, this, &FrmMain::NewArchiveRequested);
  connect(toolAddFile, &QAction::triggered, this, &FrmMain::AddFileRequested);
  connect(toolAddFolder, &QAction::triggered, this, &FrmMain::AddFolderRequested);
  connect(toolDeleteFile, &QAction::triggered, this, &FrmMain::DeleteRequested);
  connect(toolExtract, &QAction::triggered, this, &FrmMain::ExtractRequested);
}

void FrmMain::buildMenu() {
  FileMenu = menuBar()->addMenu("&File");
  FileMenu->setObjectName("FileMenu");
  auto add = [this](const char* caption, const QKeySequence& shortcut) {
    QAction* action = FileMenu->addAction(caption);
    action->setShortcut(shortcut);
    return action;
  };
  FileNewArchive = add("New Archive", QKeySequence("Ctrl+N"));
  FileOpenArchive = add("Open Archive", QKeySequence("Ctrl+O"));
  FileMenu->addSeparator();
  FileExtractAll = add("Extract All", QKeySequence("Ctrl+E"));
  FileMenu->addSeparator();
  FileAddFiletoArchive = add("Add File to Archive", QKeySequence("Ctrl+F"));
  FileAddFoldertoArchive = add("Add Folder to Archive", QKeySequence("Ctrl+Shift+F"));
  FileMenu->addSeparator();
  FileDeleteFileFolder = add("Delete File/Folder", QKeySequence());
  FileMenu->addSeparator();
  AppleAboutPellarc = add("About Pellarc", QKeySequence());
  AppleAboutPellarc->setMenuRole(QAction::AboutRole);
  FileQuit = add("Quit", QKeySequence("Ctrl+Q"));
  FileQuit->setMenuRole(QAction::QuitRole);

  connect(FileNewArchive, &QAction::triggered, this, &FrmMain::NewArchiveRequested);
  connect(FileOpenArchive, &QAction::triggered, this, &FrmMain::OpenArchiveRequested);
  connect(FileExtractAll, &QAction::triggered, this, &FrmMain::ExtractRequested);
  connect(FileAddFiletoArchive, &QAction::triggered, this, &FrmMain::AddFileRequested);
  connect(FileAddFoldertoArchive, &QAction::triggered, this, &FrmMain::AddFolderRequested);
  connect(FileDeleteFileFolder, &QAction::triggered, this, &FrmMain::DeleteRequested);
  connect(AppleAboutPellarc, &QAction::triggered, this, &FrmMain::AboutRequested);
  connect(FileQuit, &QAction::triggered, this, &FrmMain::QuitRequested);
  connect(FileMenu, &QMenu::aboutToShow, this, &FrmMain::enableMenuItems);
}

void FrmMain::listFiles_Change() {
  const int n = static_cast<int>(listFiles->selectedItems().size());
  const QString caption = QString::fromStdString(ExtractCaption(n));
  toolExtract->setText(caption);
  FileExtractAll->setText(caption);
  toolDeleteFile->setEnabled(n > 0);
  FileDeleteFileFolder->setEnabled(n > 0);
}

void FrmMain::enableMenuItems() {
  AppleAboutPellarc->setEnabled(true);
  FileAddFiletoArchive->setEnabled(true);
  FileAddFoldertoArchive->setEnabled(true);
  FileExtractAll->setEnabled(true);
  FileDeleteFileFolder->setEnabled(!listFiles->selectedItems().isEmpty());
}

void FrmMain::closeEvent(QCloseEvent* event) {
  // The window has no close button; a window manager that closes it anyway
  // ends the program, as Quit does.
  event->ignore();
  emit QuitRequested();
}
