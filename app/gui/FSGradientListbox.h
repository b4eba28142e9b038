#pragma once
// The archive list: eleven columns of which four are shown, rows 26 pixels
// high with a 24-pixel icon, several rows selectable. Selected rows are
// painted with a vertical gradient (blue while the window is active, grey
// otherwise) and white text; other rows get the normal background and black
// text.
#include <QColor>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "app/core/ListRow.h"

class FSGradientListbox : public QTreeWidget {
  Q_OBJECT
 public:
  explicit FSGradientListbox(QWidget* parent = nullptr);

  struct Palette {
    QColor top, bottom, topLine;
  };
  // Grey when the list's window is not active or the list is disabled.
  static Palette PaletteFor(bool active, bool enabled);
  // The colour of line y (0..height) of a selected cell: channels blend from
  // the top colour to the bottom colour, truncated to integers.
  static QColor LineColour(const Palette& palette, int y, int height);

  // Replaces every row. Rows keep their cells; column 0 shows the icon of the
  // row's kind.
  void SetRows(const std::vector<ListRow>& rows);
  std::vector<ListRow> Rows() const;
  std::vector<ListRow> SelectedRows() const;
  // Column widths "35%,25%,20%,20%" of the visible width.
  void FitColumns();
  // Reports the local files and folders among dropped data.
  void HandleDrop(const QMimeData* data);

 signals:
  // Files or folders dropped on the list, as local paths.
  void ItemsDropped(const QStringList& paths);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QStringList mimeTypes() const override;
};

// Paints the cells of FSGradientListbox.
class GradientDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
