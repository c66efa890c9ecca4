#pragma once

#include <QTreeWidget>

// A report-style list: rows of text cells under a header. Adds filling a cell and fitting
// the columns to their contents.
class CListViewEx : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CListViewEx(QWidget* parent = nullptr);
    ~CListViewEx() override;

    // Column 0 inserts a new row at `row` with the text; any other column sets the text of
    // that cell of an existing row. `image` is kept for callers that pass one; -1 for none.
    virtual bool SetCell(int row, int column, const QString& text, int image = -1);

    // Fits one column, or every column for -1, to the wider of its contents (every row) and
    // its title, at least kMinimumColumnWidth pixels.
    virtual void AutoSizeColumns(int column = -1);

    // The first selected row in row order, -1 when none is selected.
    virtual int GetSelectedRow() const;

    virtual int InsertColumn(int column, const QString& title,
                             Qt::Alignment alignment = Qt::AlignLeft);
    virtual bool DeleteColumn(int column);
    void SetColumnAlignment(int column, Qt::Alignment alignment);

    int GetRowCount() const { return topLevelItemCount(); }
    int GetColumnCount() const { return columnCount(); }
    QString GetCellText(int row, int column) const;
    // Sets the text of any cell of an existing row, column 0 included.
    bool SetCellText(int row, int column, const QString& text);
    bool DeleteRow(int row);
    void DeleteAllRows() { clear(); }

    // Selected rows in ascending row order.
    QList<int> GetSelectedRows() const;
    bool IsRowSelected(int row) const;
    void SelectRow(int row, bool selected = true);

    void SetGridLines(bool on);
    bool HasGridLines() const { return gridLines; }

    // Stops repainting while many rows change; calls nest.
    void LockRedraw();
    void UnlockRedraw();

    // A hint drawn over the list while it has no rows; empty for none.
    void SetEmptyText(const QString& text);
    QString EmptyText() const { return emptyText; }

    static constexpr int kMinimumColumnWidth = 5;

protected:
    void paintEvent(QPaintEvent* event) override;

    bool gridLines = false;

private:
    int redrawLocks = 0;
    QString emptyText;
};
