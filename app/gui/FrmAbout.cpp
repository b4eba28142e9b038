#include "app/gui/FrmAbout.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QPainter>
#include <QUrl>

#include "app/gui/Artwork.h"

namespace {
class IconCanvas : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QPixmap& icon = artwork::Application();
    if (!icon.isNull()) p.drawPixmap(0, 0, icon);
  }
};
}  // namespace

QString FrmAbout::LongVersion() {
  return QString("Pellarc %1, a ZIP archiver for Macintosh files").arg(PELLARC_VERSION);
}

QString FrmAbout::WebAddress() { return "https://pellarc.example.org/"; }

FrmAbout::FrmAbout(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmAbout");
  setWindowTitle("About Pellarc");
  setFixedSize(285, 235);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint);
  setAttribute(Qt::WA_DeleteOnClose);

  canIcon = new IconCanvas(this);
  canIcon->setObjectName("canIcon");
  canIcon->setGeometry(77, 14, 128, 128);

  lblVer = new QLabel("Pellarc", this);
  lblVer->setObjectName("lblVer");
  lblVer->setGeometry(10, 154, 265, 20);
  lblVer->setAlignment(Qt::AlignCenter);
  QFont verFont = lblVer->font();
  verFont.setPixelSize(13);
  lblVer->setFont(verFont);
  lblVer->setText(LongVersion());

  StaticText3 = new QLabel(WebAddress(), this);
  StaticText3->setObjectName("StaticText3");
  StaticText3->setGeometry(30, 175, 225, 20);
  StaticText3->setAlignment(Qt::AlignCenter);
  QFont linkFont = StaticText3->font();
  linkFont.setPixelSize(12);
  linkFont.setUnderline(true);
  StaticText3->setFont(linkFont);
  StaticText3->setStyleSheet("color: rgb(0,12,129)");
  StaticText3->setCursor(Qt::PointingHandCursor);
  StaticText3->installEventFilter(this);
  OpenUrl = [](const QString& address) { QDesktopServices::openUrl(QUrl(address)); };
}

bool FrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StaticText3) {
    // Take the press so that the release comes here, and open the page on
    // release wherever the mouse is.
    if (event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::MouseButtonRelease) {
      if (OpenUrl) OpenUrl(WebAddress());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FrmAbout::keyPressEvent(QKeyEvent* event) {
  if ((event->modifiers() & Qt::ControlModifier) && event->key() == Qt::Key_W) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}
