#include "codecs/codec.h"
#include "extensions/plugin.h"
#include "filelist/file_list.h"
#include "report/size_text.h"
#include "run/core.h"
#include "settings/settings_set.h"
#include "ui/list_view_ex.h"
#include "ui/options_command.h"
#include "ui/options_dialog.h"
#include "ui/options_page_core.h"
#include "ui/options_page_general.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

enum
{
    kGeneral,
    kCore,
    kPlugins,
    kDatabase,
    kNames
};

// The real core, with what the options dialog hands it written down.
class WatchedCore : public CCore
{
public:
    void SetPriority(quint32 newClass) override
    {
        priorities << newClass;
        CCore::SetPriority(newClass);
    }
    void SetThreadsCount(int count) override
    {
        threadCounts << count;
        CCore::SetThreadsCount(count);
    }

    QList<quint32> priorities;
    QList<int> threadCounts;
};

template <typename T> T* Find(QWidget* dialog, const QString& name)
{
    T* widget = dialog->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

class OptionsDialogTest : public ::testing::Test
{
protected:
    // Runs the Options command; act works in the open dialog and ends it.
    bool Run(std::function<void(COptionsDialog*)> act)
    {
        WhenModalShown(u"options"_s,
                       [act](QWidget* modal) { act(static_cast<COptionsDialog*>(modal)); });
        return RunOptionsDialog(EnglishPack(), settings, core, {plugins, 42, u"2026-03-01"_s},
                                nullptr);
    }

    static void Press(QWidget* dialog, const QString& button)
    {
        Find<QPushButton>(dialog, button)->click();
    }

    CSettingsSet settings;
    WatchedCore core;
    CPluginList plugins;
};

TEST_F(OptionsDialogTest, OpensOnTheStoredPageAndStoresThePageShownLast)
{
    settings.optionsInitialPage = kCore;
    settings.core.priority = 2;
    settings.core.threadsCount = 3;
    EXPECT_TRUE(Run([](COptionsDialog* dialog) {
        EXPECT_EQ(dialog->CurrentPage(), kCore);
        EXPECT_EQ(Find<QComboBox>(dialog, u"threadsCount"_s)->currentIndex(), 2);
        EXPECT_FALSE(dialog->Page(kGeneral).IsCreated());
        dialog->ShowPage(kDatabase);
        EXPECT_TRUE(Find<QLabel>(dialog, u"databaseInfo"_s)->text().contains(u"42"_s));
        Press(dialog, u"okButton"_s);
    }));
    EXPECT_EQ(settings.optionsInitialPage, kDatabase);
    EXPECT_EQ(core.priorities, QList<quint32>{kPriorityHigh});
    EXPECT_EQ(core.threadCounts, QList<int>{3});
}

// The pattern's drop-down offers the last ones used, then the ready ones; the page shows what a
// pattern makes of example tags, or what is wrong with it; OK keeps the pattern as the newest.
TEST_F(OptionsDialogTest, TheNamesPagePreviewsAndRemembersPatterns)
{
    settings.optionsInitialPage = kNames;
    settings.general.recentNamePatterns = {u"<title>"_s};
    EXPECT_TRUE(Run([](COptionsDialog* dialog) {
        auto* pattern = Find<QComboBox>(dialog, u"namePattern"_s);
        auto* preview = Find<QLabel>(dialog, u"namePreview"_s);
        ASSERT_EQ(pattern->count(), 4);
        EXPECT_EQ(pattern->itemText(0), u"<title>"_s);
        EXPECT_EQ(preview->text(), u"Example: source.mp3"_s);
        pattern->setEditText(u"<album>/[<disc>-]<track:3> <title"_s);
        EXPECT_EQ(preview->text(),
                  u"The pattern is not valid: \"<\" is not closed at character 28"_s);
        pattern->setCurrentIndex(1);
        EXPECT_EQ(preview->text(), u"Example: Album Artist/Album/01-03 - Title.mp3"_s);
        Find<QCheckBox>(dialog, u"fatSafeNames"_s)->click();
        Press(dialog, u"okButton"_s);
    }));
    EXPECT_EQ(settings.general.namePattern, u"<albumartist>/<album>/[<disc>-]<track> - <title>"_s);
    EXPECT_EQ(settings.general.recentNamePatterns,
              (QStringList{settings.general.namePattern, u"<title>"_s}));
    EXPECT_EQ(settings.general.fatSafeNames, 1);
}

// With a file selected, the preview is the whole path of that file's result from its own
// tags, planned as Apply plans it: the output folder, the kept structure or the pattern's
// folders in its place, and the coder's extension.
TEST_F(OptionsDialogTest, TheNamesPageShowsTheSelectedFilesWholeResultPath)
{
    QTemporaryDir music;
    for (const QString& name : {u"lib/A/B/1.wav"_s, u"lib/C/2.wav"_s}) {
        QDir().mkpath(QFileInfo(music.filePath(name)).path());
        QFile file(music.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    CFileList files;
    files.SetReadThreads(1);
    ASSERT_EQ(
        files.AddPaths({music.filePath(u"lib/A/B/1.wav"_s), music.filePath(u"lib/C/2.wav"_s)}), 2);
    files.At(0)->tags.artist = u"Artist"_s;
    files.At(0)->tags.title = u"One"_s;
    CCoder coder;
    coder.GetEntries().append({u"%in% %out%"_s, u"mp3"_s, u"Preset"_s});
    settings.optionsInitialPage = kNames;
    settings.general.outputFolderSameAsOriginal = 0;
    settings.general.outputFolder = u"/out/"_s;
    settings.general.keepFolderStructure = 1;
    settings.general.namePattern = u"<artist>/<title>"_s;
    // The library folder holds the selected file: its tree is kept below it, not below lib.
    settings.library.libraryFolder = music.filePath(u"lib/A"_s);
    WhenModalShown(u"options"_s, [](QWidget* dialog) {
        auto* pattern = Find<QComboBox>(dialog, u"namePattern"_s);
        auto* preview = Find<QLabel>(dialog, u"namePreview"_s);
        EXPECT_EQ(preview->text(), u"Result of the selected file: /out/Artist/One.mp3"_s);
        pattern->setEditText(QString());
        EXPECT_EQ(preview->text(), u"Result of the selected file: /out/B/1.mp3"_s);
        Find<QPushButton>(dialog, u"cancelButton"_s)->click();
    });
    RunOptionsDialog(EnglishPack(), settings, core,
                     {plugins, 0, {}, {&files, 0, &coder, music.path()}}, nullptr);
}

// Changes on two pages; only OK keeps them, and only pages that were shown write.
TEST_F(OptionsDialogTest, OkStoresWhatWasShownAndCancelStoresNothing)
{
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        CSettingsSet before;
        settings = CSettingsSet();
        settings.database.findByFileName = 1;
        core.threadCounts.clear();
        EXPECT_EQ(Run([ok](COptionsDialog* dialog) {
                      EXPECT_EQ(dialog->CurrentPage(), kGeneral);
                      Find<QCheckBox>(dialog, u"rememberFileList"_s)->click();
                      Find<QCheckBox>(dialog, u"outputFolderSameAsOriginal"_s)->click();
                      Find<QLineEdit>(dialog, u"outputFolder"_s)->setText(u"/music/out/"_s);
                      Find<QCheckBox>(dialog, u"startLongFilesFirst"_s)->click();
                      Find<QCheckBox>(dialog, u"keepFolderStructure"_s)->click();
                      Find<QLineEdit>(dialog, u"libraryFolder"_s)->setText(u" /music/flac "_s);
                      dialog->ShowPage(kCore);
                      Find<QComboBox>(dialog, u"threadsCount"_s)->setCurrentIndex(5);
                      Press(dialog, ok ? u"okButton"_s : u"cancelButton"_s);
                  }),
                  ok);
        EXPECT_EQ(settings.general.rememberFileList, ok ? 0 : 1);
        EXPECT_EQ(settings.general.outputFolderSameAsOriginal, ok ? 0 : 1);
        EXPECT_EQ(settings.general.outputFolder,
                  ok ? u"/music/out/"_s : before.general.outputFolder);
        EXPECT_EQ(settings.general.startLongFilesFirst, ok ? 0 : 1);
        EXPECT_EQ(settings.general.keepFolderStructure, ok ? 1 : 0);
        EXPECT_EQ(settings.library.libraryFolder, ok ? u"/music/flac"_s : QString());
        EXPECT_EQ(settings.core.threadsCount, ok ? 6 : 1);
        EXPECT_EQ(settings.optionsInitialPage, ok ? kCore : kGeneral);
        // The Database page was never shown: its flag stays whatever OK does.
        EXPECT_EQ(settings.database.findByFileName, 1);
        EXPECT_EQ(core.threadCounts, ok ? QList<int>{6} : QList<int>{});
    }
}

TEST_F(OptionsDialogTest, AnInitialPageOutOfRangeShowsNoPageAndStays)
{
    settings.optionsInitialPage = 7;
    EXPECT_TRUE(Run([](COptionsDialog* dialog) {
        EXPECT_EQ(dialog->CurrentPage(), -1);
        Press(dialog, u"okButton"_s);
    }));
    EXPECT_EQ(settings.optionsInitialPage, 7);
}

TEST_F(OptionsDialogTest, OutOfRangeCoreValuesShowAndStoreTheDefaults)
{
    settings.optionsInitialPage = kCore;
    settings.core.priority = 7;
    settings.core.threadsCount = 0;
    Run([](COptionsDialog* dialog) {
        EXPECT_EQ(Find<QComboBox>(dialog, u"priority"_s)->currentIndex(), 1);
        EXPECT_EQ(Find<QComboBox>(dialog, u"threadsCount"_s)->currentIndex(), 0);
        Press(dialog, u"okButton"_s);
    });
    EXPECT_EQ(settings.core.priority, 1);
    EXPECT_EQ(settings.core.threadsCount, 1);
    EXPECT_EQ(core.priorities, QList<quint32>{kPriorityNormal});
    EXPECT_EQ(core.threadCounts, QList<int>{1});
}

TEST_F(OptionsDialogTest, TheFolderControlsFollowTheSameFolderCheckBoxAndTheBrowser)
{
    QTemporaryDir chosen;
    Run([&chosen](COptionsDialog* dialog) {
        auto* sameFolder = Find<QCheckBox>(dialog, u"outputFolderSameAsOriginal"_s);
        auto* folder = Find<QLineEdit>(dialog, u"outputFolder"_s);
        auto* browse = Find<QPushButton>(dialog, u"browseOutputFolder"_s);
        ASSERT_TRUE(sameFolder->isChecked());
        EXPECT_FALSE(folder->isEnabled() || browse->isEnabled());
        sameFolder->click();
        EXPECT_TRUE(folder->isEnabled() && browse->isEnabled());

        // The folder browser's choice comes back with a separator at its end.
        QTimer::singleShot(0, [&chosen] {
            EXPECT_TRUE(QTest::qWaitFor([] {
                return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr;
            }));
            auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            browser->setDirectory(chosen.path());
            browser->selectFile(chosen.path());
            static_cast<QDialog*>(browser)->accept();
        });
        browse->click();
        EXPECT_EQ(folder->text(), chosen.path() + u'/');
        Press(dialog, u"cancelButton"_s);
    });
}

TEST(OptionsPageCoreTest, TheEntryOfTheProcessorCountSaysSo)
{
    const QString suffix = u" (number of processors)"_s;
    for (const int processors : {4, 16}) {
        CSettingsSet settings;
        COptionsPageCore page(EnglishPack(), processors);
        page.SetSettings(&settings);
        std::unique_ptr<QWidget> window(page.Create(nullptr));
        QStringList entries;
        auto* list = Find<QComboBox>(window.get(), u"threadsCount"_s);
        for (int i = 0; i < list->count(); ++i) {
            entries << list->itemText(i);
        }
        QStringList expected{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s};
        if (processors <= 8) {
            expected[processors - 1] += suffix;
        }
        EXPECT_EQ(entries, expected);
    }
}

// A page of one's own is a class with a title and its controls; a "\" in the title puts it
// under a folder node.
class NestedPage : public COptionsPage
{
public:
    NestedPage(CLanguagePack& pack, QString pageTitle)
        : COptionsPage(pack), title(std::move(pageTitle))
    {
    }
    QString GetTitle() const override { return title; }

protected:
    void BuildControls(QWidget* page) override
    {
        AddFlag(AddGroup(page, 114), u"nestedFlag"_s, 135, settings->showCoders);
    }

private:
    QString title;
};

TEST(OptionsTreeTest, TitlesWithBackslashesShareTheirFolderNodes)
{
    CSettingsSet settings;
    settings.optionsInitialPage = 1;
    COptionsDialog dialog(EnglishPack(), settings, nullptr);
    dialog.AddPage(std::make_unique<NestedPage>(EnglishPack(), u"A\\B"_s));
    dialog.AddPage(std::make_unique<NestedPage>(EnglishPack(), u"A\\C"_s));
    dialog.AddPage(std::make_unique<NestedPage>(EnglishPack(), u"a"_s));
    dialog.show();
    auto* tree = Find<QTreeWidget>(&dialog, u"pageTree"_s);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* folder = tree->topLevelItem(0);
    EXPECT_EQ(folder->text(0), u"A"_s);
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(1)->text(0), u"C"_s);
    EXPECT_EQ(tree->currentItem(), folder->child(1));

    // Choosing the folder node keeps the page that is shown.
    tree->setCurrentItem(folder);
    EXPECT_EQ(dialog.CurrentPage(), 1);
    Find<QCheckBox>(&dialog, u"nestedFlag"_s)->click();
    dialog.accept();
    EXPECT_EQ(settings.showCoders, 0);
}

#ifdef ORVEL_EXAMPLE_PLUGIN
TEST_F(OptionsDialogTest, ThePluginsPageListsTheLoadedPlugins)
{
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkdir(u"Plugins"_s));
    const QString library = program.filePath(u"Plugins/ReplayGain.so"_s);
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(ORVEL_EXAMPLE_PLUGIN), library));
    plugins.LoadAll(program.path(), EnglishPack());
    ASSERT_EQ(plugins.Count(), 1);
    settings.optionsInitialPage = kPlugins;
    Run([this, library](COptionsDialog* dialog) {
        EXPECT_EQ(Find<QLabel>(dialog, u"pluginCount"_s)->text(), u"Loaded plugins: 1"_s);
        auto* list = Find<CListViewEx>(dialog, u"pluginList"_s);
        ASSERT_EQ(list->GetRowCount(), 1);
        EXPECT_EQ(list->GetCellText(0, 0), plugins.At(0).name);
        EXPECT_EQ(list->GetCellText(0, 2), u"ReplayGain.so"_s);
        EXPECT_EQ(list->GetCellText(0, 3),
                  FormatSize(qint32(QFileInfo(library).size()), kSizeModeAutomatic, 2));
        Press(dialog, u"cancelButton"_s);
    });
}
#endif

} // namespace
