#include <QtTest>

#include "app/gui/MainWindow.h"

class TestMainWindow : public QObject {
  Q_OBJECT
 private slots:
  void showsTitledWindow() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString("Pellarc"));
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
