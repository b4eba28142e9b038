#include <QSignalSpy>
#include <QtTest>

#include "app/gui/FrmAbout.h"
#include "app/gui/FrmProcessing.h"

class TestSmallWindows : public QObject {
  Q_OBJECT
 private slots:
  void aboutWindowClosesWithCtrlW_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Ctrl+W") << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+W") << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
    QTest::newRow("W") << int(Qt::NoModifier) << false;
  }
  void aboutWindowClosesWithCtrlW() {
    QFETCH(int, modifiers);
    QFETCH(bool, closes);
    QPointer<FrmAbout> about = new FrmAbout;
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->windowTitle(), QString("About Pellarc"));
    QCOMPARE(about->size(), QSize(285, 235));
    QVERIFY(about->lblVer->text().startsWith("Pellarc " PELLARC_VERSION));
    QTest::keyClick(about, Qt::Key_W, Qt::KeyboardModifiers(modifiers));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(about.isNull() || !about->isVisible(), closes);
    delete about;
  }

  void linkOpensOnReleaseWherever() {
    FrmAbout about;
    QStringList opened;
    about.OpenUrl = [&](const QString& address) { opened << address; };
    QTest::mousePress(about.StaticText3, Qt::LeftButton);
    QVERIFY(opened.isEmpty());
    QTest::mouseRelease(about.StaticText3, Qt::LeftButton, {}, QPoint(-50, -50));
    QCOMPARE(opened, QStringList{FrmAbout::WebAddress()});
  }

  void processingSheetIsIndeterminateAndCancels() {
    QWidget parent;
    FrmProcessing sheet(&parent);
    QCOMPARE(sheet.size(), QSize(280, 82));
    QCOMPARE(sheet.StaticText1->text(), QString("Processing..."));
    QCOMPARE(sheet.ProgressBar1->maximum(), 0);
    QCOMPARE(sheet.windowModality(), Qt::WindowModal);
    QSignalSpy spy(&sheet, &FrmProcessing::CancelRequested);
    sheet.CancelButton->click();
    QTest::keyClick(&sheet, Qt::Key_Escape);
    QCOMPARE(spy.count(), 2);
  }
};

QTEST_MAIN(TestSmallWindows)
#include "tst_smallwindows.moc"
