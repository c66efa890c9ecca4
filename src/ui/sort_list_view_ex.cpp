#include "ui/sort_list_view_ex.h"

#include <QCollator>
#include <QGuiApplication>
#include <QHeaderView>
#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

CSortListViewEx::CSortListViewEx(QWidget* parent) : CListViewEx(parent)
{
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CSortListViewEx::SortByColumn);
}

CSortListViewEx::~CSortListViewEx() = default;

int CSortListViewEx::InsertColumn(int column, const QString& title, Qt::Alignment alignment)
{
    const int at = CListViewEx::InsertColumn(column, title, alignment);
    if (sortColumn >= 0 && at <= sortColumn) {
        ++sortColumn;
    }
    ShowSortIndicator();
    return at;
}

bool CSortListViewEx::DeleteColumn(int column)
{
    if (!CListViewEx::DeleteColumn(column)) {
        return false;
    }
    if (column == sortColumn) {
        sortColumn = -1;
    } else if (column < sortColumn) {
        --sortColumn;
    }
    ShowSortIndicator();
    return true;
}

void CSortListViewEx::SortByColumn(int column)
{
    if (column < 0 || column >= columnCount()) {
        return;
    }
    const bool newDescending = column == sortColumn ? !descending : false;
    if (topLevelItemCount() >= 2) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        SortRows(column, newDescending);
        QGuiApplication::restoreOverrideCursor();
    }
    const int previous = sortColumn;
    sortColumn = column;
    descending = newDescending;
    ShowSortIndicator();
    Q_EMIT SortChanged(sortColumn, previous);
}

void CSortListViewEx::SortRows(int column, bool descendingOrder)
{
    QCollator collator; // the user's locale
    collator.setCaseSensitivity(Qt::CaseSensitive);

    // Items are moved, not rebuilt, so every row keeps its own data and selection.
    std::vector<std::pair<QString, QTreeWidgetItem*>> rows;
    rows.reserve(topLevelItemCount());
    LockRedraw();
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* current = currentItem();
    while (topLevelItemCount() > 0) {
        QTreeWidgetItem* item = takeTopLevelItem(0);
        rows.emplace_back(item->text(column).left(kSortKeyLength), item);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        const int order = collator.compare(a.first, b.first);
        return descendingOrder ? order > 0 : order < 0;
    });
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const auto& row : rows) {
        items << row.second;
    }
    addTopLevelItems(items);
    for (QTreeWidgetItem* item : selected) {
        item->setSelected(true);
    }
    if (current != nullptr) {
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    }
    UnlockRedraw();
}

void CSortListViewEx::ShowSortIndicator()
{
    if (sortColumn < 0) {
        header()->setSortIndicatorShown(false);
        return;
    }
    header()->setSortIndicator(sortColumn, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    header()->setSortIndicatorShown(true);
}
