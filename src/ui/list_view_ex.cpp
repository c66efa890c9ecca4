#include "ui/list_view_ex.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Draws the thin cell borders of a list with grid lines on top of the usual item painting.
class CGridDelegate : public QStyledItemDelegate
{
public:
    explicit CGridDelegate(CListViewEx* list) : QStyledItemDelegate(list), owner(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!owner->HasGridLines()) {
            return;
        }
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        const QRect r = option.rect;
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
    }

private:
    const CListViewEx* owner;
};

} // namespace

CListViewEx::CListViewEx(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setColumnCount(0);
    header()->setStretchLastSection(false);
    // Fitting a column measures every row, not the first thousand: a long name further down
    // would be cut. 3,000 rows of six columns take well under a tenth of a second.
    header()->setResizeContentsPrecision(-1);
    header()->setSectionsMovable(true);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setItemDelegate(new CGridDelegate(this));
}

CListViewEx::~CListViewEx() = default;

bool CListViewEx::SetCell(int row, int column, const QString& text, int image)
{
    Q_UNUSED(image);
    if (column < 0 || column >= columnCount()) {
        return false;
    }
    if (column == 0) {
        const int at = std::clamp(row, 0, topLevelItemCount());
        auto* item = new QTreeWidgetItem;
        for (int c = 0; c < columnCount(); ++c) {
            item->setTextAlignment(c, Qt::Alignment(headerItem()->textAlignment(c)));
        }
        item->setText(0, text);
        insertTopLevelItem(at, item);
        return true;
    }
    return SetCellText(row, column, text);
}

void CListViewEx::AutoSizeColumns(int column)
{
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? columnCount() - 1 : std::min(column, columnCount() - 1);
    LockRedraw();
    for (int c = first; c <= last; ++c) {
        // sizeHintForColumn measures the rows, sectionSizeHint the title with its margins
        // and, where shown, the sort arrow.
        const int content = sizeHintForColumn(c);
        const int title = header()->sectionSizeHint(c);
        setColumnWidth(c, std::max({content, title, kMinimumColumnWidth}));
    }
    UnlockRedraw();
}

int CListViewEx::GetSelectedRow() const
{
    const QList<int> rows = GetSelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

int CListViewEx::InsertColumn(int column, const QString& title, Qt::Alignment alignment)
{
    const int count = columnCount();
    const int at = std::clamp(column, 0, count);
    QTreeWidgetItem* head = headerItem();
    QStringList titles;
    QList<Qt::Alignment> alignments;
    for (int c = 0; c < count; ++c) {
        titles << head->text(c);
        alignments << Qt::Alignment(head->textAlignment(c));
    }
    titles.insert(at, title);
    alignments.insert(at, alignment);
    setColumnCount(count + 1);
    for (int r = 0; r < topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = topLevelItem(r);
        for (int c = count; c > at; --c) {
            item->setText(c, item->text(c - 1));
        }
        item->setText(at, QString());
    }
    for (int c = 0; c <= count; ++c) {
        head->setText(c, titles[c]);
        SetColumnAlignment(c, alignments[c]);
    }
    return at;
}

bool CListViewEx::DeleteColumn(int column)
{
    const int count = columnCount();
    if (column < 0 || column >= count) {
        return false;
    }
    QTreeWidgetItem* head = headerItem();
    for (int c = column; c + 1 < count; ++c) {
        head->setText(c, head->text(c + 1));
        head->setTextAlignment(c, Qt::Alignment(head->textAlignment(c + 1)));
        for (int r = 0; r < topLevelItemCount(); ++r) {
            QTreeWidgetItem* item = topLevelItem(r);
            item->setText(c, item->text(c + 1));
            item->setTextAlignment(c, Qt::Alignment(item->textAlignment(c + 1)));
        }
    }
    setColumnCount(count - 1);
    return true;
}

void CListViewEx::SetColumnAlignment(int column, Qt::Alignment alignment)
{
    const Qt::Alignment full = alignment | Qt::AlignVCenter;
    headerItem()->setTextAlignment(column, full);
    for (int r = 0; r < topLevelItemCount(); ++r) {
        topLevelItem(r)->setTextAlignment(column, full);
    }
}

QString CListViewEx::GetCellText(int row, int column) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item == nullptr ? QString() : item->text(column);
}

bool CListViewEx::SetCellText(int row, int column, const QString& text)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= columnCount()) {
        return false;
    }
    if (item->text(column) != text) {
        item->setText(column, text);
    }
    return true;
}

bool CListViewEx::DeleteRow(int row)
{
    if (row < 0 || row >= topLevelItemCount()) {
        return false;
    }
    delete takeTopLevelItem(row);
    return true;
}

QList<int> CListViewEx::GetSelectedRows() const
{
    QList<int> rows;
    for (int r = 0; r < topLevelItemCount(); ++r) {
        if (topLevelItem(r)->isSelected()) {
            rows << r;
        }
    }
    return rows;
}

bool CListViewEx::IsRowSelected(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->isSelected();
}

void CListViewEx::SelectRow(int row, bool selected)
{
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setSelected(selected);
    }
}

void CListViewEx::SetGridLines(bool on)
{
    gridLines = on;
    viewport()->update();
}

void CListViewEx::LockRedraw()
{
    if (redrawLocks++ == 0) {
        setUpdatesEnabled(false);
    }
}

void CListViewEx::UnlockRedraw()
{
    if (redrawLocks > 0 && --redrawLocks == 0) {
        setUpdatesEnabled(true);
        viewport()->update();
    }
}

void CListViewEx::SetEmptyText(const QString& text)
{
    emptyText = text;
    viewport()->update();
}

void CListViewEx::paintEvent(QPaintEvent* event)
{
    QTreeWidget::paintEvent(event);
    if (emptyText.isEmpty() || GetRowCount() > 0) {
        return;
    }
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().averageCharWidth() * 2;
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, emptyText);
}
