#include "app/gui/FSGradientListbox.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "app/gui/Artwork.h"

namespace {
constexpr int kRowHeight = 26;

// A row whose Size and Compressed columns sort by byte count.
class ListItem : public QTreeWidgetItem {
 public:
  explicit ListItem(const ListRow& row) : row_(row) {
    for (int c = 0; c < ListRow::kColumnCount; ++c) {
      setText(c, QString::fromStdString(row.Cell(c)));
    }
    setIcon(0, QIcon(artwork::FileKind(IconKindOf(row))));
  }
  const ListRow& row() const { return row_; }

  bool operator<(const QTreeWidgetItem& other) const override {
    int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const auto& that = static_cast<const ListItem&>(other).row_;
    if (CompareRows(row_, that, column).has_value()) {
      // The rule answers "greater" or "not greater"; sorting needs a strict
      // order, so equal counts are not "less" either way (an order that says
      // a < b and b < a can make a sort run off its range).
      int key = column == ListRow::kSize ? ListRow::kSizeBytes : ListRow::kCompressedBytes;
      return DecimalValue(row_.Cell(key)) < DecimalValue(that.Cell(key));
    }
    return text(column) < other.text(column);
  }

 private:
  ListRow row_;
};
}  // namespace

FSGradientListbox::FSGradientListbox(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(ListRow::kColumnCount);
  setHeaderLabels({"Name", "Date", "Size", "Compressed"});
  for (int c = 4; c < ListRow::kColumnCount; ++c) setColumnHidden(c, true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setIconSize(QSize(24, 24));
  setItemDelegate(new GradientDelegate(this));
  setAttribute(Qt::WA_MacShowFocusRect, false);
  setFrameShape(QFrame::NoFrame);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
  header()->setSectionsMovable(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setStretchLastSection(false);
  for (int c = 0; c < 4; ++c) headerItem()->setTextAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);
  // Sorting happens when the user clicks a heading; none is chosen at start.
  setSortingEnabled(true);
  header()->setSortIndicator(-1, Qt::AscendingOrder);
  header()->setSortIndicatorShown(true);
}

FSGradientListbox::Palette FSGradientListbox::PaletteFor(bool active, bool enabled) {
  if (!active || !enabled) {
    return {QColor(168, 168, 168), QColor(121, 121, 121), QColor(145, 145, 145)};
  }
  return {QColor(84, 149, 229), QColor(14, 83, 207), QColor(53, 117, 218)};
}

QColor FSGradientListbox::LineColour(const Palette& palette, int y, int height) {
  if (height <= 0) return palette.top;
  double t = static_cast<double>(y) / height;
  double u = static_cast<double>(height - y) / height;
  auto blend = [&](int top, int bottom) { return static_cast<int>(t * bottom + u * top); };
  return QColor(blend(palette.top.red(), palette.bottom.red()),
                blend(palette.top.green(), palette.bottom.green()),
                blend(palette.top.blue(), palette.bottom.blue()));
}

void FSGradientListbox::SetRows(const std::vector<ListRow>& rows) {
  // Keep the archive's order: rows are added unsorted, then the heading the
  // user chose (if any) sorts them.
  setSortingEnabled(false);
  clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const ListRow& row : rows) items.append(new ListItem(row));
  addTopLevelItems(items);
  setSortingEnabled(true);
  if (header()->sortIndicatorSection() >= 0) {
    sortItems(header()->sortIndicatorSection(), header()->sortIndicatorOrder());
  }
}

std::vector<ListRow> FSGradientListbox::Rows() const {
  std::vector<ListRow> rows;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    rows.push_back(static_cast<const ListItem*>(topLevelItem(i))->row());
  }
  return rows;
}

std::vector<ListRow> FSGradientListbox::SelectedRows() const {
  std::vector<ListRow> rows;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const auto* item = static_cast<const ListItem*>(topLevelItem(i));
    if (item->isSelected()) rows.push_back(item->row());
  }
  return rows;
}

void FSGradientListbox::FitColumns() {
  const int width = viewport()->width();
  const int percents[] = {35, 25, 20, 20};
  for (int c = 0; c < 4; ++c) setColumnWidth(c, width * percents[c] / 100);
}

void FSGradientListbox::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  FitColumns();
}

QStringList FSGradientListbox::mimeTypes() const { return {"text/uri-list"}; }

void FSGradientListbox::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FSGradientListbox::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FSGradientListbox::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  HandleDrop(event->mimeData());
}

void FSGradientListbox::HandleDrop(const QMimeData* data) {
  QStringList paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  emit ItemsDropped(paths);
}

void GradientDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  QStyleOptionViewItem opt(option);
  initStyleOption(&opt, index);
  const bool selected = opt.state & QStyle::State_Selected;
  if (selected) {
    const auto* list = qobject_cast<const FSGradientListbox*>(opt.widget);
    bool active = list && list->window()->isActiveWindow();
    bool enabled = list && list->isEnabled();
    auto palette = FSGradientListbox::PaletteFor(active, enabled);
    const QRect r = opt.rect;
    const int h = r.height();
    painter->save();
    for (int y = 0; y <= h; ++y) {
      painter->setPen(FSGradientListbox::LineColour(palette, y, h));
      painter->drawLine(r.left(), r.top() + y, r.right(), r.top() + y);
    }
    painter->setPen(palette.topLine);
    painter->drawLine(r.left(), r.top(), r.right(), r.top());
    painter->restore();
  }
  // The style draws the icon and text over that background: with the
  // selected state cleared it paints no highlight of its own.
  opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
  const QColor text = selected ? QColor(255, 255, 255) : QColor(0, 0, 0);
  opt.palette.setColor(QPalette::Text, text);
  opt.palette.setColor(QPalette::HighlightedText, text);
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

QSize GradientDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(kRowHeight);
  return size;
}
