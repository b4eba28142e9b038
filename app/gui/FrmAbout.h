#pragma once
// The about window: the application's icon, its long version string and a
// link to the maker's web page. Ctrl+W (with or without Shift) closes it.
#include <QLabel>
#include <functional>
#include <QWidget>

class FrmAbout : public QWidget {
  Q_OBJECT
 public:
  explicit FrmAbout(QWidget* parent = nullptr);

  static QString LongVersion();
  static QString WebAddress();

  // Opens the web page; runs when the link is released, wherever the mouse
  // then is. Tests replace it.
  std::function<void(const QString&)> OpenUrl;

  QWidget* canIcon = nullptr;
  QLabel* lblVer = nullptr;
  QLabel* StaticText3 = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};
