#include <QApplication>

#include "app/gui/FrmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellarc");
  QApplication::setApplicationVersion(PELLARC_VERSION);
  FrmMain window;
  window.show();
  return QApplication::exec();
}
