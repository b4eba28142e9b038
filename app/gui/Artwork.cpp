#include "app/gui/Artwork.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace artwork {
namespace {

QPixmap canvas(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  return pm;
}

// A page with a folded corner, scaled to `size`.
void drawPage(QPainter& p, int size, const QColor& fill) {
  const qreal s = size / 24.0;
  QPainterPath page;
  page.moveTo(4 * s, 1 * s);
  page.lineTo(15 * s, 1 * s);
  page.lineTo(20 * s, 6 * s);
  page.lineTo(20 * s, 23 * s);
  page.lineTo(4 * s, 23 * s);
  page.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), s));
  p.setBrush(fill);
  p.drawPath(page);
  QPainterPath fold;
  fold.moveTo(15 * s, 1 * s);
  fold.lineTo(15 * s, 6 * s);
  fold.lineTo(20 * s, 6 * s);
  p.setBrush(QColor(225, 225, 225));
  p.drawPath(fold);
}

void drawFolder(QPainter& p, int size, const QColor& colour) {
  const qreal s = size / 24.0;
  p.setPen(QPen(colour.darker(150), s));
  p.setBrush(colour.darker(115));
  p.drawRoundedRect(QRectF(1 * s, 4 * s, 9 * s, 4 * s), s, s);
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(1 * s, 6 * s, 22 * s, 15 * s), 1.5 * s, 1.5 * s);
}

// A coloured band with a short label across a page: the image kinds.
void drawLabel(QPainter& p, int size, const QString& label, const QColor& band) {
  const qreal s = size / 24.0;
  QRectF r(2 * s, 12 * s, 20 * s, 8 * s);
  p.setPen(Qt::NoPen);
  p.setBrush(band);
  p.drawRoundedRect(r, 1.5 * s, 1.5 * s);
  QFont f;
  f.setPixelSize(static_cast<int>(6.5 * s));
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, label);
}

void drawZipper(QPainter& p, int size) {
  const qreal s = size / 24.0;
  p.setPen(QPen(QColor(60, 60, 60), 1.2 * s));
  for (int i = 0; i < 5; ++i) {
    qreal y = (3 + 2.2 * i) * s;
    p.drawLine(QPointF(10.5 * s, y), QPointF(13.5 * s, y));
  }
  p.setBrush(QColor(60, 60, 60));
  p.drawRect(QRectF(10 * s, 14 * s, 4 * s, 5 * s));
}

void drawDisk(QPainter& p, int size) {
  const qreal s = size / 24.0;
  p.setPen(QPen(QColor(80, 80, 80), s));
  p.setBrush(QColor(200, 205, 215));
  p.drawEllipse(QRectF(2 * s, 2 * s, 20 * s, 20 * s));
  p.setBrush(QColor(245, 245, 250));
  p.drawEllipse(QRectF(9 * s, 9 * s, 6 * s, 6 * s));
}

void drawArrow(QPainter& p, int size, bool down, const QColor& colour) {
  const qreal s = size / 32.0;
  QPainterPath arrow;
  if (down) {
    arrow.moveTo(13 * s, 2 * s);
    arrow.lineTo(19 * s, 2 * s);
    arrow.lineTo(19 * s, 12 * s);
    arrow.lineTo(25 * s, 12 * s);
    arrow.lineTo(16 * s, 21 * s);
    arrow.lineTo(7 * s, 12 * s);
    arrow.lineTo(13 * s, 12 * s);
  } else {
    arrow.moveTo(13 * s, 30 * s);
    arrow.lineTo(19 * s, 30 * s);
    arrow.lineTo(19 * s, 20 * s);
    arrow.lineTo(25 * s, 20 * s);
    arrow.lineTo(16 * s, 11 * s);
    arrow.lineTo(7 * s, 20 * s);
    arrow.lineTo(13 * s, 20 * s);
  }
  arrow.closeSubpath();
  p.setPen(QPen(colour.darker(140), s));
  p.setBrush(colour);
  p.drawPath(arrow);
}

QPixmap toolbarPixmap(ToolIcon which) {
  const int size = 32;
  QPixmap pm = canvas(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor green(60, 170, 80), blue(60, 120, 220), red(210, 60, 50);
  switch (which) {
    case ToolIcon::NewArchive:
      drawPage(p, size, QColor(250, 235, 160));
      drawZipper(p, size);
      p.setPen(Qt::NoPen);
      p.setBrush(green);
      p.drawEllipse(QRectF(18, 18, 13, 13));
      p.setPen(QPen(Qt::white, 2.5));
      p.drawLine(QPointF(24.5, 21), QPointF(24.5, 28));
      p.drawLine(QPointF(21, 24.5), QPointF(28, 24.5));
      break;
    case ToolIcon::AddFile:
      drawPage(p, size, Qt::white);
      drawArrow(p, size, false, blue);
      break;
    case ToolIcon::AddFolder:
      drawFolder(p, size, QColor(110, 170, 235));
      drawArrow(p, size, false, green);
      break;
    case ToolIcon::DeleteFile:
      drawPage(p, size, Qt::white);
      p.setPen(QPen(red, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(9, 11), QPointF(23, 25));
      p.drawLine(QPointF(23, 11), QPointF(9, 25));
      break;
    case ToolIcon::Extract:
      drawPage(p, size, QColor(250, 235, 160));
      drawArrow(p, size, true, green);
      break;
  }
  return pm;
}

QPixmap kindPixmap(IconKind kind) {
  const int size = 24;
  QPixmap pm = canvas(size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  auto image = [&](const char* label, QColor band) {
    drawPage(p, size, Qt::white);
    drawLabel(p, size, label, band);
  };
  switch (kind) {
    case IconKind::Folder: drawFolder(p, size, QColor(110, 170, 235)); break;
    case IconKind::JPEGImage: image("JPG", QColor(200, 90, 40)); break;
    case IconKind::BMPImage: image("BMP", QColor(120, 80, 160)); break;
    case IconKind::EPSImage: image("EPS", QColor(60, 130, 90)); break;
    case IconKind::GIFImage: image("GIF", QColor(40, 140, 170)); break;
    case IconKind::PDFDocument: image("PDF", QColor(200, 40, 40)); break;
    case IconKind::PNGImage: image("PNG", QColor(50, 110, 200)); break;
    case IconKind::PSDImage: image("PSD", QColor(30, 80, 150)); break;
    case IconKind::TIFFImage: image("TIFF", QColor(150, 110, 40)); break;
    case IconKind::ZipArchive:
      drawPage(p, size, QColor(250, 235, 160));
      drawZipper(p, size);
      break;
    case IconKind::DiskImage: drawDisk(p, size); break;
    case IconKind::Document: drawPage(p, size, Qt::white); break;
  }
  return pm;
}

}  // namespace

QIcon Toolbar(ToolIcon which) {
  static QHash<int, QIcon> cache;
  auto key = static_cast<int>(which);
  if (!cache.contains(key)) cache.insert(key, QIcon(toolbarPixmap(which)));
  return cache.value(key);
}

const QPixmap& FileKind(IconKind kind) {
  static QHash<int, QPixmap> cache;
  auto key = static_cast<int>(kind);
  if (!cache.contains(key)) cache.insert(key, kindPixmap(kind));
  return cache[key];
}

const QPixmap& Application() {
  static const QPixmap icon = [] {
    QPixmap pm = canvas(128);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A classic compact Mac in front of a zipped page.
    QPixmap page = kindPixmap(IconKind::ZipArchive).scaled(
        88, 88, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawPixmap(36, 4, page);
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(QColor(230, 225, 210));
    p.drawRoundedRect(QRectF(8, 40, 72, 84), 8, 8);
    p.setBrush(QColor(40, 60, 90));
    p.drawRoundedRect(QRectF(18, 50, 52, 40), 4, 4);
    p.setPen(QPen(QColor(150, 220, 160), 3));
    p.drawArc(QRectF(30, 58, 28, 24), 200 * 16, 140 * 16);
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.drawLine(QPointF(48, 104), QPointF(70, 104));
    return pm;
  }();
  return icon;
}

}  // namespace artwork
