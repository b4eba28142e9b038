#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

#include "app/gui/FrmMain.h"

namespace {
ListRow row(const QString& name, const QString& kind, qint64 size, qint64 compressed, int index) {
  ListRow r;
  r.cells[ListRow::kName] = name.toStdString();
  r.cells[ListRow::kDate] = "1/2/03 4:05";
  r.cells[ListRow::kKind] = kind.toStdString();
  r.cells[ListRow::kSizeBytes] = std::to_string(size);
  r.cells[ListRow::kCompressedBytes] = std::to_string(compressed);
  r.cells[ListRow::kIndex] = std::to_string(index);
  return r;
}

QStringList names(const FSGradientListbox* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  return out;
}
}  // namespace

class TestFrmMain : public QObject {
  Q_OBJECT
 private slots:
  void settingsAtCreation() {
    FrmMain w;
    QCOMPARE(w.windowTitle(), QString("Untitled Archive"));
    QCOMPARE(w.minimumSize(), QSize(564, 250));
    QCOMPARE(w.listFiles->columnCount(), 11);
    for (int c = 0; c < 11; ++c) QCOMPARE(w.listFiles->isColumnHidden(c), c >= 4);
    QCOMPARE(w.listFiles->headerItem()->text(3), QString("Compressed"));
    QCOMPARE(w.listFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(w.lblStats->text(), QString());
    QStringList captions;
    for (QAction* a : w.FileMenu->actions()) {
      captions << (a->isSeparator() ? "-" : a->text() + "|" + a->shortcut().toString());
    }
    QCOMPARE(captions, (QStringList{"New Archive|Ctrl+N", "Open Archive|Ctrl+O", "-",
                                    "Extract All|Ctrl+E", "-", "Add File to Archive|Ctrl+F",
                                    "Add Folder to Archive|Ctrl+Shift+F", "-",
                                    "Delete File/Folder|", "-", "About Pellarc|", "Quit|Ctrl+Q"}));
    QCOMPARE(w.toolNewArchive->text(), QString("New Archive"));
    QCOMPARE(w.toolAddFile->text(), QString("Add File"));
    QCOMPARE(w.toolAddFolder->text(), QString("Add Folder"));
    QCOMPARE(w.toolDeleteFile->text(), QString("Delete File"));
  }

  void windowCannotShrinkBelowItsMinimum() {
    FrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(300, 100);
    QCOMPARE(w.size(), QSize(564, 250));
  }

  void selectionDrivesCaptionsAndEnabling() {
    FrmMain w;
    w.listFiles->SetRows({row("a", "File", 1, 1, 1), row("b", "File", 2, 2, 2)});
    struct Step {
      QList<int> selected;
      QString caption;
      bool deleteEnabled;
    };
    const Step steps[] = {{{}, "Extract All", false},
                          {{0}, "Extract File", true},
                          {{0, 1}, "Extract Files", true},
                          {{}, "Extract All", false}};
    for (const Step& s : steps) {
      w.listFiles->clearSelection();
      for (int i : s.selected) w.listFiles->topLevelItem(i)->setSelected(true);
      QCOMPARE(w.toolExtract->text(), s.caption);
      QCOMPARE(w.FileExtractAll->text(), s.caption);
      QCOMPARE(w.toolDeleteFile->isEnabled(), s.deleteEnabled);
      emit w.FileMenu->aboutToShow();
      QCOMPARE(w.FileDeleteFileFolder->isEnabled(), s.deleteEnabled);
      QVERIFY(w.FileAddFiletoArchive->isEnabled());
    }
  }

  void sortsSizeColumnsByByteCountsAndOthersByText() {
    FrmMain w;
    w.listFiles->SetRows({row("big", "File", 1536, 10, 1), row("small", "File", 900, 900, 2),
                          row("Alpha", "Folder", 5000, 20, 3)});
    QCOMPARE(names(w.listFiles), (QStringList{"big", "small", "Alpha"}));  // archive order
    w.listFiles->sortItems(ListRow::kSize, Qt::AscendingOrder);
    QCOMPARE(names(w.listFiles), (QStringList{"small", "big", "Alpha"}));
    w.listFiles->sortItems(ListRow::kCompressed, Qt::AscendingOrder);
    QCOMPARE(names(w.listFiles), (QStringList{"big", "Alpha", "small"}));
    w.listFiles->sortItems(ListRow::kName, Qt::AscendingOrder);
    QCOMPARE(names(w.listFiles), (QStringList{"Alpha", "big", "small"}));
  }

  void gradientColoursOfSelectedRows() {
    const auto blue = FSGradientListbox::PaletteFor(true, true);
    QCOMPARE(blue.top, QColor(84, 149, 229));
    QCOMPARE(FSGradientListbox::PaletteFor(false, true).top, QColor(168, 168, 168));
    QCOMPARE(FSGradientListbox::PaletteFor(true, false).bottom, QColor(121, 121, 121));
    QCOMPARE(FSGradientListbox::LineColour(blue, 0, 26), blue.top);
    QCOMPARE(FSGradientListbox::LineColour(blue, 26, 26), blue.bottom);
    // Halfway: each channel the truncated mean.
    QCOMPARE(FSGradientListbox::LineColour(blue, 13, 26), QColor(49, 116, 218));

    // Rendered: a selected row shows the gradient, an unselected one does not.
    FrmMain w;
    w.listFiles->SetRows({row("selected", "File", 1, 1, 1), row("plain", "File", 1, 1, 2)});
    w.listFiles->topLevelItem(0)->setSelected(true);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QImage image = w.listFiles->viewport()->grab().toImage();
    QRect first = w.listFiles->visualItemRect(w.listFiles->topLevelItem(0));
    QRect second = w.listFiles->visualItemRect(w.listFiles->topLevelItem(1));
    const int x = first.right() - 4;  // right of the text, inside the row
    QCOMPARE(first.height(), 26);
    QCOMPARE(QColor(image.pixel(x, first.top())), blue.topLine);
    QColor near_bottom = image.pixel(x, first.bottom());
    QVERIFY(qAbs(near_bottom.blue() - blue.bottom.blue()) < 6);
    QVERIFY(QColor(image.pixel(x, second.center().y())) != blue.top);
  }

  void dropsReportLocalPaths() {
    FrmMain w;
    QSignalSpy spy(&w, &FrmMain::ItemsDropped);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a file.txt"), QUrl("https://example.com/x"),
                  QUrl::fromLocalFile("/tmp/folder")});
    QVERIFY(w.listFiles->acceptDrops());
    w.listFiles->HandleDrop(&data);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), (QStringList{"/tmp/a file.txt", "/tmp/folder"}));
  }

  void toolbarAndMenuEmitTheCommands() {
    FrmMain w;
    QSignalSpy extract(&w, &FrmMain::ExtractRequested);
    QSignalSpy add(&w, &FrmMain::AddFileRequested);
    w.toolExtract->trigger();
    w.FileExtractAll->trigger();
    w.FileAddFiletoArchive->trigger();
    QCOMPARE(extract.count(), 2);
    QCOMPARE(add.count(), 1);
  }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
