#include "app/gui/MainWindow.h"

#include <QLabel>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Pellarc");
  setCentralWidget(new QLabel("Pellarc", this));
  resize(620, 400);
}
