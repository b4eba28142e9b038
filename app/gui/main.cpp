#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/gui/App.h"
#include "platform/plugin/PluginHost.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName("Pellarc");
  QApplication::setApplicationVersion(PELLARC_VERSION);

  // The stream plug-in first: without it nothing can be added or extracted.
  auto host = PluginHost::Instance();
  if (!host->Ok()) {
    QMessageBox::critical(nullptr, "Pellarc",
                          QString("Pellarc can't start: %1").arg(QString::fromStdString(host->Error())));
    return 2;
  }

  App app;
  app.Open();
  // Archives given on the command line are opened from the desktop.
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (!args[i].startsWith("-")) app.OpenDocument(args[i]);
  }
  // scripts/screenshot: save a picture of the archive window, then quit.
  const QString shot = qEnvironmentVariable("PELLARC_SCREENSHOT");
  if (!shot.isEmpty()) {
    QTimer::singleShot(1500, &app, [&app, shot] {
      app.frmMain()->grab().save(shot, "PNG");
      QCoreApplication::exit(0);
    });
  }
  return QApplication::exec();
}
