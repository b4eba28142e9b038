#pragma once
// The sheet that covers the main window while an operation works: "Processing..."
// over an animated bar that shows no fraction, and a Cancel button that asks
// the running add or extraction to stop after the item in progress.
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

class FrmProcessing : public QDialog {
  Q_OBJECT
 public:
  explicit FrmProcessing(QWidget* parent);

  QLabel* StaticText1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* CancelButton = nullptr;

 signals:
  void CancelRequested();

 protected:
  void reject() override;  // Escape cancels too, but never just hides the sheet
};
