#include "extensions/language_menu.h"
#include "main_window_fixture.h"
#include "support/audio_fixtures.h"
#include "ui/dlg_main.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString Counts(int added, int again, int moved, int removed, int kept, int upToDate)
{
    return u"%1 added, %2 converted again, %3 moved, %4 removed, %5 kept, %6 up to date"_s
        .arg(added)
        .arg(again)
        .arg(moved)
        .arg(removed)
        .arg(kept)
        .arg(upToDate);
}

class LibrarySyncWindowTest : public MainWindowFixture
{
protected:
    // Runs the command; act works in its dialog once it is shown, and closes it.
    void InSyncDialog(const std::function<void(QWidget*)>& act)
    {
        WhenModalShown(u"librarySync"_s, [act](QWidget* dialog) {
            act(dialog);
            dialog->findChild<QPushButton*>(u"closeButton"_s)->click();
        });
        window->RunCommand(MenuCommand::kSyncWithLibrary);
    }

    static ::testing::AssertionResult PlanShows(QWidget* dialog, const QString& counts)
    {
        auto* label = dialog->findChild<QLabel*>(u"planCounts"_s);
        if (QTest::qWaitFor([label, counts] { return label->text() == counts; }, 60000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the plan shows \"" << label->text().toStdString() << "\"";
    }

    static void Click(QWidget* dialog, const QString& name)
    {
        dialog->findChild<QAbstractButton*>(name)->click();
    }
};

} // namespace

// The library's copy through the window: the plan first, Sync converts it with the window's
// coder, and the next look finds nothing to do; a renamed source moves its result, a gone one
// is kept until removals are asked for, and asked about again (No changes nothing). The
// window's own Start still follows its runs afterwards.
TEST_F(LibrarySyncWindowTest, TheSyncShowsItsPlanCarriesItOutAndMovesARenamedResult)
{
    const QString one = folder.MakeFlac(u"A/one.flac"_s);
    const QString two = folder.MakeFlac(u"B/two.flac"_s);
    window->Settings().library.syncRoots = {folder.Path(u"Music"_s)};
    window->Settings().library.syncCopyFolder = folder.Path(u"Copy"_s);
    ChooseCoder(1); // LAME MP3
    // The window's own list, whose session must hear the core again once the sync is done.
    window->AddPaths({one});
    const QString copy = folder.Path(u"Copy/"_s);

    QStringList firstActions;
    bool syncLeftEnabled = true;
    InSyncDialog([&](QWidget* dialog) {
        ASSERT_TRUE(PlanShows(dialog, Counts(2, 0, 0, 0, 0, 0)));
        auto* actions = dialog->findChild<QTreeWidget*>(u"planActions"_s);
        for (int row = 0; row < actions->topLevelItemCount(); ++row)
            firstActions << actions->topLevelItem(row)->text(0) + u' ' +
                                actions->topLevelItem(row)->text(1);
        // Carried out with the job window, then read again.
        Click(dialog, u"syncButton"_s);
        ASSERT_TRUE(PlanShows(dialog, Counts(0, 0, 0, 0, 0, 2)));
        syncLeftEnabled = dialog->findChild<QPushButton*>(u"syncButton"_s)->isEnabled();
    });
    EXPECT_EQ(firstActions, (QStringList{u"add A/one.mp3"_s, u"add B/two.mp3"_s}));
    EXPECT_FALSE(syncLeftEnabled);
    EXPECT_TRUE(QFileInfo(copy + u"A/one.mp3"_s).size() > 0);
    EXPECT_TRUE(QFileInfo(copy + u"B/two.mp3"_s).size() > 0);

    ASSERT_TRUE(QFile::rename(one, folder.Path(u"Music/A/uno.flac"_s)));
    ASSERT_TRUE(QFile::remove(two));
    InSyncDialog([&](QWidget* dialog) {
        ASSERT_TRUE(PlanShows(dialog, Counts(0, 0, 1, 0, 1, 0)));
        Click(dialog, u"removeGone"_s);
        ASSERT_TRUE(PlanShows(dialog, Counts(0, 0, 1, 1, 0, 0)));
        recorder.SetAnswer(false);
        Click(dialog, u"syncButton"_s);
        EXPECT_TRUE(QFileInfo::exists(copy + u"A/one.mp3"_s));
        recorder.SetAnswer(true);
        Click(dialog, u"syncButton"_s);
        ASSERT_TRUE(PlanShows(dialog, Counts(0, 0, 0, 0, 0, 1)));
    });
    const QList<NotifierRecorder::Message> asked = recorder.Messages();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].question);
    EXPECT_TRUE(asked[0].text.startsWith(u"1 results whose source is gone"_s));
    EXPECT_TRUE(QFileInfo(copy + u"A/uno.mp3"_s).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(copy + u"A/one.mp3"_s));
    // The removal empties B, which goes with it.
    EXPECT_FALSE(QFileInfo::exists(copy + u"B"_s));
    EXPECT_EQ(window->Settings().library.syncRoots, QStringList{folder.Path(u"Music"_s)});

    window->RunCommand(MenuCommand::kRemoveDeadEntries);
    window->AddPaths({folder.Path(u"Music/A/uno.flac"_s)});
    c.startButton->click();
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return c.fileList->GetCellText(0, 8) == u"Converted"_s; }, 60000))
        << c.fileList->GetCellText(0, 8).toStdString();

    // A new album with its cover while the last old one goes: removing the whole copy is
    // refused until the second box allows it, and the cover is planned and carried along.
    // Audio of its own, so that it is no move of the one that goes.
    ASSERT_TRUE(QDir().mkpath(folder.Path(u"Music/D"_s)));
    ASSERT_TRUE(fixtures::MakeWav(folder.Path(u"four.wav"_s), 44100, 2, 16, 1.3));
    ASSERT_TRUE(
        fixtures::MakeFlac(folder.Path(u"four.wav"_s), folder.Path(u"Music/D/four.flac"_s)));
    QImage cover(8, 8, QImage::Format_RGB32);
    cover.fill(Qt::red);
    ASSERT_TRUE(cover.save(folder.Path(u"Music/D/folder.jpg"_s)));
    ASSERT_TRUE(QFile::remove(folder.Path(u"Music/A/uno.flac"_s)));
    QString refusal;
    QStringList alongRows;
    InSyncDialog([&](QWidget* dialog) {
        ASSERT_TRUE(PlanShows(dialog, Counts(1, 0, 0, 0, 1, 0) + u", 1 copied along"_s));
        Click(dialog, u"removeGone"_s);
        auto* label = dialog->findChild<QLabel*>(u"planRefusal"_s);
        ASSERT_TRUE(QTest::qWaitFor([label] { return !label->text().isEmpty(); }, 60000));
        refusal = label->text();
        Click(dialog, u"removeMany"_s);
        ASSERT_TRUE(PlanShows(dialog, Counts(1, 0, 0, 1, 0, 0) + u", 1 copied along"_s));
        auto* actions = dialog->findChild<QTreeWidget*>(u"planActions"_s);
        for (int row = 0; row < actions->topLevelItemCount(); ++row) {
            if (actions->topLevelItem(row)->text(0) == u"copy along"_s)
                alongRows << actions->topLevelItem(row)->text(1);
        }
        Click(dialog, u"syncButton"_s);
        ASSERT_TRUE(PlanShows(dialog, Counts(0, 0, 0, 0, 0, 1)));
    });
    EXPECT_TRUE(refusal.contains(u"half"_s)) << refusal.toStdString();
    EXPECT_EQ(alongRows, QStringList{u"D/folder.jpg"_s});
    EXPECT_TRUE(QFileInfo::exists(copy + u"D/folder.jpg"_s));
    EXPECT_TRUE(QFileInfo(copy + u"D/four.mp3"_s).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(copy + u"A"_s));
}

// Nothing is done where a sync must not run, and the reason is shown: an empty library folder
// (a drive not mounted), a copy inside the library, no folders named. Planning writes nothing,
// not even the copy's folder.
TEST_F(LibrarySyncWindowTest, ARefusedSyncShowsItsReasonAndWritesNothing)
{
    folder.MakeFlac(u"A/one.flac"_s);
    ASSERT_TRUE(QDir().mkpath(folder.Path(u"Unmounted"_s)));
    ChooseCoder(1);
    const struct
    {
        QStringList roots;
        QString copy;
        QString reasonHolds;
    } cases[] = {
        {{folder.Path(u"Unmounted"_s)}, folder.Path(u"Copy"_s), folder.Path(u"Unmounted"_s)},
        {{folder.Path(u"Music"_s)}, folder.Path(u"Music/Copy"_s), u"copy itself"_s},
        {{}, folder.Path(u"Copy"_s), u"Name a library folder"_s},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.reasonHolds.toStdString());
        window->Settings().library.syncRoots = refused.roots;
        window->Settings().library.syncCopyFolder = refused.copy;
        QString refusal;
        bool syncEnabled = true;
        InSyncDialog([&](QWidget* dialog) {
            Click(dialog, u"planButton"_s);
            auto* label = dialog->findChild<QLabel*>(u"planRefusal"_s);
            ASSERT_TRUE(QTest::qWaitFor([label] { return !label->text().isEmpty(); }, 60000));
            refusal = label->text();
            syncEnabled = dialog->findChild<QPushButton*>(u"syncButton"_s)->isEnabled();
        });
        EXPECT_TRUE(refusal.startsWith(u"Sync refused: "_s)) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(refused.reasonHolds)) << refusal.toStdString();
        EXPECT_FALSE(syncEnabled);
        EXPECT_FALSE(QFileInfo::exists(refused.copy));
    }
}
