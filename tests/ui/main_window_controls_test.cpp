#include "ui/list_view_ex.h"
#include "ui/main_window_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class MainWindowControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        c = CreateMainWindowControls(&window);
        // Long texts, as a translation might have them, must not push controls together.
        c.startButton->setText(u"Start"_s);
        c.coderCombo->addItem(u"A coder with a rather long display name"_s);
        window.resize(MainWindowTemplateSize(&window));
        window.setMinimumSize(window.size());
        window.show();
        QApplication::processEvents();
    }

    QRect RectOf(QWidget* widget) const
    {
        return {widget->mapTo(&window, QPoint()), widget->size()};
    }

    QList<QWidget*> Visible() const
    {
        return {c.fileList,          c.startButton,    c.coderLabel,    c.coderCombo,
                c.coderFolderButton, c.presetLabel,    c.presetCombo,   c.resetButton,
                c.applyButton,       c.coderInfoLabel, c.coderInfoList, c.decoderLineLabel,
                c.decoderLineEdit,   c.coderLineLabel, c.coderLineEdit};
    }

    // Every control inside the window, at least as large as it needs, and none on another.
    void ExpectTidy()
    {
        QApplication::processEvents();
        const QList<QWidget*> parts = Visible();
        for (QWidget* w : parts) {
            const std::string name = w->objectName().toStdString();
            EXPECT_TRUE(w->isVisible()) << name;
            EXPECT_TRUE(window.rect().contains(RectOf(w))) << name;
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name;
            for (QWidget* other : parts) {
                if (w != other) {
                    EXPECT_FALSE(RectOf(w).intersects(RectOf(other)))
                        << name << " overlaps " << other->objectName().toStdString();
                }
            }
        }
    }

    QDialog window;
    MainWindowControls c;
};

} // namespace

TEST_F(MainWindowControlsTest, EveryControlIsNamedAndTheUnusedOnesAreHidden)
{
    for (QWidget* w : Visible()) {
        EXPECT_FALSE(w->objectName().isEmpty());
    }
    EXPECT_FALSE(c.customPresetButton->isVisible());
    EXPECT_FALSE(c.editPresetsButton->isVisible());
    EXPECT_FALSE(c.customPresetButton->isEnabled());
    EXPECT_TRUE(c.startButton->isDefault());
    EXPECT_TRUE(c.startButton->font().bold());
    EXPECT_EQ(c.startButton->font().pointSize(), 15);
    EXPECT_EQ(c.fileList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(c.coderInfoList->isHeaderHidden());
}

TEST_F(MainWindowControlsTest, ArrangementFollowsTheTemplate)
{
    ExpectTidy();
    // File list left of the coder column; start button and command lines below the list.
    EXPECT_LT(RectOf(c.fileList).right(), RectOf(c.coderCombo).left());
    EXPECT_LT(RectOf(c.fileList).bottom(), RectOf(c.startButton).top());
    EXPECT_LT(RectOf(c.startButton).right(), RectOf(c.decoderLineEdit).left());
    EXPECT_LT(RectOf(c.decoderLineEdit).bottom(), RectOf(c.coderLineEdit).top());
    // Coder, preset, Reset over Apply, coder information: top to bottom on the right.
    const QList<QWidget*> column = {c.coderLabel,     c.coderCombo,   c.presetLabel,
                                    c.presetCombo,    c.resetButton,  c.applyButton,
                                    c.coderInfoLabel, c.coderInfoList};
    for (qsizetype i = 1; i < column.size(); ++i) {
        EXPECT_LT(RectOf(column[i - 1]).top(), RectOf(column[i]).top());
    }
    EXPECT_EQ(RectOf(c.resetButton).bottom() + 1, RectOf(c.applyButton).top());
    EXPECT_GT(RectOf(c.coderFolderButton).left(), RectOf(c.coderLabel).left());
    EXPECT_EQ(RectOf(c.coderFolderButton).right(), RectOf(c.coderCombo).right());
}

TEST_F(MainWindowControlsTest, GrowingTheWindowGrowsOnlyTheListAndTheCommandLines)
{
    const QRect list = RectOf(c.fileList);
    const QRect info = RectOf(c.coderInfoList);
    const QRect combo = RectOf(c.coderCombo);
    const QRect start = RectOf(c.startButton);
    const QRect edit = RectOf(c.coderLineEdit);
    const QRect label = RectOf(c.decoderLineLabel);

    window.resize(window.size() + QSize(600, 250));
    ExpectTidy();
    EXPECT_EQ(RectOf(c.fileList).size(), list.size() + QSize(600, 250));
    EXPECT_EQ(RectOf(c.coderInfoList), info.translated(600, 0));
    EXPECT_EQ(RectOf(c.coderCombo), combo.translated(600, 0));
    EXPECT_EQ(RectOf(c.startButton), start.translated(0, 250));
    EXPECT_EQ(RectOf(c.coderLineEdit), edit.adjusted(0, 250, 600, 250));
    EXPECT_EQ(RectOf(c.decoderLineLabel).top(), label.top() + 250);
}

TEST_F(MainWindowControlsTest, TheWindowCannotShrinkBelowItsTemplateSize)
{
    const QSize minimum = window.size();
    window.resize(minimum / 2);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), minimum);
    ExpectTidy();
}
