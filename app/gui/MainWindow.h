#pragma once
#include <QMainWindow>

// The archive window. It grows into the full main window with the list,
// toolbar and statistics line.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
};
