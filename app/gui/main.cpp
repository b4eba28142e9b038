#include <QApplication>

#include "app/gui/MainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellarc");
  QApplication::setApplicationVersion(PELLARC_VERSION);
  MainWindow window;
  window.show();
  return QApplication::exec();
}
