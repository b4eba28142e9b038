#include "app/gui/FrmProcessing.h"

FrmProcessing::FrmProcessing(QWidget* parent) : QDialog(parent, Qt::Sheet) {
  setObjectName("frmProcessing");
  setWindowTitle("Untitled");
  setWindowModality(Qt::WindowModal);
  setFixedSize(280, 82);
  StaticText1 = new QLabel("Processing...", this);
  StaticText1->setGeometry(7, 25, 267, 24);
  StaticText1->setAlignment(Qt::AlignCenter);
  QFont font = StaticText1->font();
  font.setPixelSize(12);
  StaticText1->setFont(font);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(90, 49, 100, 12);
  ProgressBar1->setRange(0, 0);  // indeterminate: animates without a fraction
  ProgressBar1->setTextVisible(false);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setGeometry(200, 44, 72, 24);
  connect(CancelButton, &QPushButton::clicked, this, &FrmProcessing::CancelRequested);
}

void FrmProcessing::reject() { emit CancelRequested(); }
