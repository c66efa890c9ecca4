#pragma once

#include "ui/list_view_ex.h"

// A report list that sorts its rows by the text of a column when the column's header is
// clicked: ascending first, then the direction toggles on each further click.
class CSortListViewEx : public CListViewEx
{
    Q_OBJECT

public:
    explicit CSortListViewEx(QWidget* parent = nullptr);
    ~CSortListViewEx() override;

    int InsertColumn(int column, const QString& title,
                     Qt::Alignment alignment = Qt::AlignLeft) override;
    bool DeleteColumn(int column) override;

    // What a header click does; callable directly.
    void SortByColumn(int column);

    int GetSortColumn() const { return sortColumn; }
    bool IsDescending() const { return descending; }

    // Only this many leading characters of a cell take part in the comparison.
    static constexpr int kSortKeyLength = 31;

Q_SIGNALS:
    void SortChanged(int newColumn, int previousColumn);

private:
    void SortRows(int column, bool descendingOrder);
    void ShowSortIndicator();

    int sortColumn = -1;
    bool descending = false;
};
