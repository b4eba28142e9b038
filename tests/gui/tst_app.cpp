// The application object under the offscreen platform: the launch timer, the
// start-up question, documents from the desktop, the progress sheet, about.
#include <QSignalSpy>
#include <QtTest>
#include <deque>

#include "app/gui/App.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

namespace {
// Real windows; the modal questions answered from a script.
class ScriptedApp : public App {
 public:
  std::deque<StartChoice> choices;
  std::deque<std::optional<FolderItem>> files;
  QStringList asked;

  StartChoice AskNewOrExisting(const std::string&) override {
    asked << "start";
    if (choices.empty()) return StartChoice::Quit;
    auto c = choices.front();
    choices.pop_front();
    return c;
  }
  std::optional<FolderItem> AskSaveFile(const DialogText& t) override { return next(t); }
  std::optional<FolderItem> AskArchive(const DialogText& t) override { return next(t); }
  void ShowMessage(const std::string& text) override { asked << QString::fromStdString(text); }

 private:
  std::optional<FolderItem> next(const DialogText& t) {
    asked << QString::fromStdString(t.title);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

std::string archiveBytes() {
  ziptest::Archive a;
  a.entries = {{.name = "a.txt", .data = "hello"}, {.name = "pics/", .data = ""},
               {.name = "pics/b.jpg", .data = std::string(4000, 'j')}};
  return a.Build().bytes;
}
}  // namespace

class TestApp : public QObject {
  Q_OBJECT
 private slots:
  void launchTimerAsksAfter200ms() {
    ScriptedApp app;
    app.Open();
    QCOMPARE(app.LaunchTimer().interval(), 200);
    QVERIFY(app.LaunchTimer().isSingleShot());
    QVERIFY(app.asked.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(app.asked, QStringList{"start"}, 2000);
    QVERIFY(!app.frmMain()->isVisible());
  }

  void documentFromTheDesktopSkipsTheQuestion() {
    testsupport::TempDir tmp;
    testsupport::WriteFile(tmp / "photos.zip", archiveBytes());
    ScriptedApp app;
    app.Open();
    app.OpenDocument(QString::fromStdString((tmp / "photos.zip").string()));
    QTest::qWait(300);
    QVERIFY(app.asked.isEmpty());
    FrmMain* w = app.frmMain();
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QString("photos.zip"));
    QCOMPARE(w->listFiles->topLevelItemCount(), 2);
    QCOMPARE(w->listFiles->topLevelItem(1)->text(0), QString("pics"));
    QCOMPARE(w->listFiles->topLevelItem(1)->text(2), QString("3.9 KB"));
    QVERIFY(w->lblStats->text().startsWith("Original Size: 3.9 KB"));
    QVERIFY(!w->listFiles->topLevelItem(0)->icon(0).isNull());
    // The listing's sheet is gone again.
    QVERIFY(!app.frmProcessing() || !app.frmProcessing()->isVisible());
  }

  void existingArchiveThroughTheQuestion() {
    testsupport::TempDir tmp;
    testsupport::WriteFile(tmp / "old.zip", archiveBytes());
    ScriptedApp app;
    app.choices = {UserInterface::StartChoice::ExistingArchive};
    app.files = {FolderItem(tmp / "old.zip")};
    app.module().LaunchTimerAction();
    QCOMPARE(app.asked, (QStringList{"start", "Choose an archive"}));
    QCOMPARE(app.frmMain()->windowTitle(), QString("old.zip"));
    QCOMPARE(app.frmMain()->listFiles->topLevelItemCount(), 2);
  }

  void quitEndsTheEventLoop() {
    ScriptedApp app;
    app.choices = {UserInterface::StartChoice::Quit};
    QTimer::singleShot(0, &app, [&app] { app.module().LaunchTimerAction(); });
    QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });  // would mean it hung
    QCOMPARE(QCoreApplication::exec(), 0);
  }

  void progressSheetShowsOnceAndCancels() {
    ScriptedApp app;
    app.ShowArchiveWindow();
    app.ShowProgress();
    app.ShowProgress();
    QVERIFY(app.frmProcessing()->isVisible());
    QVERIFY(!app.StopRequested());
    app.frmProcessing()->CancelButton->click();
    QVERIFY(app.StopRequested());
    app.CloseProgress();
    QTRY_VERIFY(!app.frmProcessing());
  }

  void aboutWindowIsSingle() {
    ScriptedApp app;
    app.frmMain()->AppleAboutPellarc->trigger();
    FrmAbout* first = app.frmAbout();
    QVERIFY(first && first->isVisible());
    app.frmMain()->AppleAboutPellarc->trigger();
    QCOMPARE(app.frmAbout(), first);
    first->close();
    QTRY_VERIFY(!app.frmAbout());
  }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
