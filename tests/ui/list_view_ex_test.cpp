#include "ui/sort_list_view_ex.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Column(const CListViewEx& list, int column)
{
    QStringList texts;
    for (int r = 0; r < list.GetRowCount(); ++r) {
        texts << list.GetCellText(r, column);
    }
    return texts;
}

void Fill(CListViewEx& list, const QStringList& first, const QStringList& second = {})
{
    for (int r = 0; r < first.size(); ++r) {
        list.SetCell(r, 0, first[r]);
        if (r < second.size()) {
            list.SetCell(r, 1, second[r]);
        }
    }
}

} // namespace

TEST(ListViewExTest, SetCellInsertsOnColumnZeroAndFillsExistingRowsOtherwise)
{
    CListViewEx list;
    list.InsertColumn(0, u"Name"_s);
    list.InsertColumn(1, u"Size"_s, Qt::AlignRight);

    EXPECT_TRUE(list.SetCell(0, 0, u"b"_s));
    EXPECT_TRUE(list.SetCell(0, 0, u"a"_s)); // inserted above "b"
    EXPECT_TRUE(list.SetCell(2, 0, u"c"_s));
    EXPECT_TRUE(list.SetCell(1, 1, u"12"_s));
    EXPECT_FALSE(list.SetCell(3, 1, u"no such row"_s));
    EXPECT_FALSE(list.SetCell(0, 2, u"no such column"_s));

    EXPECT_EQ(Column(list, 0), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(Column(list, 1), (QStringList{QString(), u"12"_s, QString()}));
    // Cells of a right-aligned column follow the column.
    EXPECT_TRUE(list.topLevelItem(1)->textAlignment(1) & Qt::AlignRight);
}

TEST(ListViewExTest, SelectedRowIsTheFirstInRowOrderOrMinusOne)
{
    CListViewEx list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.InsertColumn(0, u"Name"_s);
    Fill(list, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    EXPECT_EQ(list.GetSelectedRow(), -1);

    list.SelectRow(3);
    list.SelectRow(1);
    EXPECT_EQ(list.GetSelectedRow(), 1);
    EXPECT_EQ(list.GetSelectedRows(), (QList<int>{1, 3}));

    list.SelectRow(1, false);
    list.SelectRow(3, false);
    list.SelectRow(0);
    EXPECT_EQ(list.GetSelectedRow(), 0);
}

TEST(ListViewExTest, AutoSizeFitsTheWiderOfTitleAndContents)
{
    CListViewEx list;
    list.InsertColumn(0, u"A rather long column title"_s);
    list.InsertColumn(1, u"X"_s);
    list.InsertColumn(2, QString());

    // An empty list sizes each column to its title, an empty title to the minimum at least.
    list.AutoSizeColumns(-1);
    const QFontMetrics metrics(list.header()->font());
    EXPECT_GE(list.columnWidth(0), metrics.horizontalAdvance(u"A rather long column title"_s));
    EXPECT_GE(list.columnWidth(2), CListViewEx::kMinimumColumnWidth);
    const int titleOnly = list.columnWidth(1);

    const QString wide = u"a cell much wider than its one-letter title"_s;
    Fill(list, {u"x"_s}, {wide});
    list.AutoSizeColumns(0); // only column 0 is touched
    EXPECT_EQ(list.columnWidth(1), titleOnly);
    list.AutoSizeColumns(1);
    EXPECT_GE(list.columnWidth(1), QFontMetrics(list.font()).horizontalAdvance(wide));
    EXPECT_GT(list.columnWidth(1), titleOnly);

    // Every row is measured, not only the first thousand.
    QStringList names(5000, u"short.wav"_s);
    names[4321] = u"a name far longer than any other in this long list.flac"_s;
    list.DeleteAllRows();
    Fill(list, names, names);
    list.AutoSizeColumns(-1);
    EXPECT_GE(list.columnWidth(0), QFontMetrics(list.font()).horizontalAdvance(names[4321]));
}

TEST(ListViewExTest, ColumnsCanBeInsertedAndDeletedAroundExistingCells)
{
    CListViewEx list;
    list.InsertColumn(0, u"A"_s);
    list.InsertColumn(1, u"C"_s);
    Fill(list, {u"a1"_s, u"a2"_s}, {u"c1"_s, u"c2"_s});

    list.InsertColumn(1, u"B"_s);
    EXPECT_EQ(list.headerItem()->text(1), u"B"_s);
    EXPECT_EQ(Column(list, 2), (QStringList{u"c1"_s, u"c2"_s}));
    EXPECT_EQ(Column(list, 1), (QStringList{QString(), QString()}));

    EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(list.headerItem()->text(0), u"B"_s);
    EXPECT_EQ(Column(list, 1), (QStringList{u"c1"_s, u"c2"_s}));
    EXPECT_FALSE(list.DeleteColumn(5));
}

TEST(SortListViewExTest, HeaderClicksSortAscendingThenToggle)
{
    CSortListViewEx list;
    list.InsertColumn(0, u"Name"_s);
    list.InsertColumn(1, u"Number"_s);
    Fill(list, {u"b"_s, u"c"_s, u"a"_s}, {u"9"_s, u"10"_s, u"100"_s});
    QSignalSpy changed(&list, &CSortListViewEx::SortChanged);

    list.header()->sectionClicked(0);
    EXPECT_EQ(Column(list, 0), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(list.GetSortColumn(), 0);
    EXPECT_FALSE(list.IsDescending());
    EXPECT_TRUE(list.header()->isSortIndicatorShown());
    EXPECT_EQ(list.header()->sortIndicatorOrder(), Qt::AscendingOrder);

    list.header()->sectionClicked(0);
    EXPECT_EQ(Column(list, 0), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    EXPECT_TRUE(list.IsDescending());
    EXPECT_EQ(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Numbers sort as text, and a new column starts ascending; rows keep their cells.
    list.header()->sectionClicked(1);
    EXPECT_EQ(Column(list, 1), (QStringList{u"10"_s, u"100"_s, u"9"_s}));
    EXPECT_EQ(Column(list, 0), (QStringList{u"c"_s, u"a"_s, u"b"_s}));
    EXPECT_FALSE(list.IsDescending());
    EXPECT_EQ(list.header()->sortIndicatorSection(), 1);

    ASSERT_EQ(changed.count(), 3);
    EXPECT_EQ(changed[0], (QVariantList{0, -1}));
    EXPECT_EQ(changed[2], (QVariantList{1, 0}));
}

TEST(SortListViewExTest, OnlyTheFirst31CharactersDecide)
{
    CSortListViewEx list;
    list.InsertColumn(0, u"Name"_s);
    const QString common(31, u'x');
    Fill(list, {u"z"_s, common + u'b', common + u'a', u"a"_s});

    list.SortByColumn(0);
    const QStringList sorted = Column(list, 0);
    EXPECT_EQ(sorted.first(), u"a"_s);
    EXPECT_EQ(sorted.last(), u"z"_s);
    // The two long texts tie; they keep no particular order, but both sit in the middle.
    EXPECT_TRUE(sorted.mid(1, 2).contains(common + u'a'));
    EXPECT_TRUE(sorted.mid(1, 2).contains(common + u'b'));
}

TEST(SortListViewExTest, SortingIsCaseSensitiveAndKeepsSelection)
{
    CSortListViewEx list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.InsertColumn(0, u"Name"_s);
    Fill(list, {u"b"_s, u"B"_s, u"a"_s});
    list.SelectRow(0); // "b"

    list.SortByColumn(0);
    const QStringList ascending = Column(list, 0);
    EXPECT_EQ(list.GetSelectedRows(), QList<int>{static_cast<int>(ascending.indexOf(u"b"_s))});

    // "b" and "B" never tie: the descending order is exactly the reverse.
    list.SortByColumn(0);
    QStringList reversed = ascending;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(Column(list, 0), reversed);
    EXPECT_TRUE(list.IsRowSelected(static_cast<int>(reversed.indexOf(u"b"_s))));
}

TEST(SortListViewExTest, FewerThanTwoRowsOnlyRecordsTheColumn)
{
    CSortListViewEx list;
    list.InsertColumn(0, u"A"_s);
    list.InsertColumn(1, u"B"_s);
    list.SortByColumn(1);
    EXPECT_EQ(list.GetSortColumn(), 1);
    EXPECT_EQ(list.header()->sortIndicatorSection(), 1);
    list.SortByColumn(1);
    EXPECT_TRUE(list.IsDescending());
}

TEST(SortListViewExTest, SortColumnFollowsInsertedAndDeletedColumns)
{
    CSortListViewEx list;
    for (const QString& title : {u"A"_s, u"B"_s, u"C"_s}) {
        list.InsertColumn(list.GetColumnCount(), title);
    }
    list.SortByColumn(1);

    list.InsertColumn(1, u"new"_s); // at the sort column: it moves right
    EXPECT_EQ(list.GetSortColumn(), 2);
    list.InsertColumn(4, u"last"_s); // right of it: no change
    EXPECT_EQ(list.GetSortColumn(), 2);
    list.DeleteColumn(0); // left of it: it moves left
    EXPECT_EQ(list.GetSortColumn(), 1);
    list.DeleteColumn(1); // the sort column itself: unsorted
    EXPECT_EQ(list.GetSortColumn(), -1);
    EXPECT_FALSE(list.header()->isSortIndicatorShown());
}
