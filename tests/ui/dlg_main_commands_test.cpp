#include "extensions/language_menu.h"
#include "program_folder.h"
#include "support/environment_scope.h"
#include "support/notifier_recorder.h"
#include "ui/desktop_opener.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui/main_menu.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Long enough for a child process to start and end on a loaded machine.
constexpr int kWaitMs = 60000;

// Stands in for the desktop: an xdg-open first on PATH that notes what it was asked to open and
// ends with the status given (3: xdg-open found no program for the type).
class FakeDesktop
{
public:
    explicit FakeDesktop(int status = 0)
        : path("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"))
    {
        QFile script(dir.filePath(u"xdg-open"_s));
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"${0%/*}/opened\"\nexit " +
                     QByteArray::number(status) + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // What xdg-open was asked to open, once every run of it has ended.
    QStringList Opened() const
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return RunningDesktopOpeners() == 0; }, kWaitMs));
        QFile log(dir.filePath(u"opened"_s));
        if (!log.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir;
    CEnvironmentScope path;
};

// Types the path into the dialog's name field and presses OK. (selectFile leaves the field
// alone while it has the focus.)
void ChooseFile(QFileDialog* dialog, const QString& path)
{
    dialog->setDirectory(QFileInfo(path).path());
    auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
    ASSERT_NE(name, nullptr);
    name->setText(QFileInfo(path).fileName());
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, as OK does
}

// Answers the named file dialog once it shows.
void AnswerFileDialog(const QString& name, std::function<void(QFileDialog*)> answer)
{
    WhenModalShown(name, [answer](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

// Chooses the command from the file list's context menu, with the keyboard.
void ChooseFromFileListMenu(CListViewEx* list, int commandId)
{
    bool chosen = false;
    QTimer::singleShot(0, list, [&chosen, commandId] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        popup->setActiveAction(FindCommandAction(popup, commandId));
        QTest::keyClick(popup, Qt::Key_Return);
        chosen = true;
    });
    list->customContextMenuRequested(list->viewport()->rect().center());
    EXPECT_TRUE(chosen);
}

class MainWindowCommandsTest : public ::testing::Test
{
protected:
    // The window on the program folder as it stands now.
    void Open()
    {
        window = std::make_unique<CDlgMain>(EnglishPack());
        ASSERT_TRUE(window->Initialise());
        window->show();
        list = window->Controls().fileList;
    }

    QStringList Names() const
    {
        QStringList names;
        for (int row = 0; row < list->GetRowCount(); ++row) {
            names << list->GetCellText(row, 0);
        }
        return names;
    }

    TestProgramFolder folder;
    NotifierRecorder recorder;
    std::unique_ptr<CDlgMain> window;
    CListViewEx* list = nullptr;
};

} // namespace

TEST_F(MainWindowCommandsTest, AddFileOffersEachDecodersPatternsAndRemembersTheChosenFilter)
{
    folder.WriteFile(u"Decoders/FLAC/Extensions.ini"_s, "flac\r\n.fla\r\n");
    folder.WriteFile(u"Decoders/FLAC/Format.ini"_s, "-d -o %out% %in%\r\n-d -o %out% %in%\r\n");
    Open();
    window->Settings().filterIndex = 3;
    const QString flac = folder.MakeFlac(u"a.flac"_s);

    QStringList offered;
    QString startFilter;
    QString firstLabel;
    AnswerFileDialog(u"addFileDialog"_s, [&](QFileDialog* dialog) {
        offered = dialog->nameFilters();
        startFilter = dialog->selectedNameFilter();
        firstLabel = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s)->itemText(0);
        dialog->selectNameFilter(offered.value(0));
        ChooseFile(dialog, flac);
    });
    window->RunCommand(MenuCommand::kAddFile);

    EXPECT_EQ(offered, (QStringList{u"All supported files (*.flac *.fla *.wav)"_s,
                                    u"Waveform PCM (*.wav)"_s, u"FLAC (*.flac *.fla)"_s}));
    // The patterns stay out of the filter's label, which would otherwise be as wide as the list.
    EXPECT_EQ(firstLabel, u"All supported files"_s);
    EXPECT_EQ(startFilter, u"FLAC"_s);
    EXPECT_EQ(window->Settings().filterIndex, 1);
    EXPECT_EQ(Names(), QStringList{u"a.flac"_s});

    // A cancelled dialog changes nothing, the filter index included.
    AnswerFileDialog(u"addFileDialog"_s, [&](QFileDialog* dialog) {
        dialog->selectNameFilter(offered.value(1));
        dialog->reject();
    });
    window->RunCommand(MenuCommand::kContextAddFile);
    EXPECT_EQ(window->Settings().filterIndex, 1);
    EXPECT_EQ(list->GetRowCount(), 1);
}

TEST_F(MainWindowCommandsTest, CancelStopsAddingALargeFolderAndKeepsWhatWasAdded)
{
    Open();
    // Enough files that adding them outlasts the moment before the progress shows.
    constexpr int kFiles = 600;
    QDir().mkpath(folder.Path(u"Many"_s));
    for (int i = 0; i < kFiles; ++i) {
        QFile file(folder.Path(u"Many/%1.wav"_s.arg(i)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    AnswerFileDialog(u"addFolderDialog"_s,
                     [&](QFileDialog* dialog) { ChooseFile(dialog, folder.Path(u"Many"_s)); });
    bool shown = false;
    WhenModalShown(u"addProgress"_s, [&shown](QWidget* progress) {
        shown = true;
        static_cast<QProgressDialog*>(progress)->cancel();
    });
    window->RunCommand(MenuCommand::kAddFolder);
    EXPECT_TRUE(shown);
    EXPECT_GT(list->GetRowCount(), 0);
    EXPECT_LT(list->GetRowCount(), kFiles);
}

TEST_F(MainWindowCommandsTest, SaveListWritesAnM3UAndLoadListReadsItBack)
{
    Open();
    window->AddPaths({folder.MakeWav(u"a.wav"_s), folder.MakeWav(u"b.wav"_s)});
    const QString chosen = folder.Path(u"a.M3U"_s);
    AnswerFileDialog(u"saveListDialog"_s, [&](QFileDialog* dialog) { ChooseFile(dialog, chosen); });
    window->RunCommand(MenuCommand::kSaveList);
    EXPECT_FALSE(QFile::exists(chosen));
    QFile saved(folder.Path(u"a.m3u"_s));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), (folder.Path(u"Music/a.wav"_s) + u"\r\n"_s +
                                folder.Path(u"Music/b.wav"_s) + u"\r\n"_s)
                                   .toUtf8());

    window->RunCommand(MenuCommand::kRemoveAll);
    EXPECT_EQ(list->GetRowCount(), 0);
    AnswerFileDialog(u"loadListDialog"_s,
                     [&](QFileDialog* dialog) { ChooseFile(dialog, folder.Path(u"a.m3u"_s)); });
    window->RunCommand(MenuCommand::kLoadList);
    EXPECT_EQ(Names(), (QStringList{u"a.wav"_s, u"b.wav"_s}));
    EXPECT_EQ(recorder.Count(), 0);
}

TEST_F(MainWindowCommandsTest, DeleteRemovesTheSelectedRowsAndLeavesOneSelected)
{
    Open();
    QStringList paths;
    for (const QString& name : {u"0.wav"_s, u"1.wav"_s, u"2.wav"_s, u"3.wav"_s, u"4.wav"_s}) {
        paths << folder.MakeWav(name);
    }
    window->AddPaths(paths);
    list->SelectRow(1);
    list->SelectRow(3);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Names(), (QStringList{u"0.wav"_s, u"2.wav"_s, u"4.wav"_s}));
    EXPECT_EQ(window->FileList().Count(), 3);
    EXPECT_EQ(window->FileList().At(1)->fileName, u"2.wav"_s);
    EXPECT_EQ(list->GetSelectedRows().size(), 1);

    // Ctrl+A selects every row; Invert selection then leaves none.
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->GetSelectedRows(), (QList<int>{0, 1, 2}));
    window->RunCommand(MenuCommand::kInvertSelection);
    EXPECT_TRUE(list->GetSelectedRows().isEmpty());

    // A file deleted on disk goes with Remove dead entries.
    QFile::remove(paths[2]);
    window->RunCommand(MenuCommand::kRemoveDeadEntries);
    EXPECT_EQ(Names(), (QStringList{u"0.wav"_s, u"4.wav"_s}));
}

TEST_F(MainWindowCommandsTest, TheContextMenuOpensTheFolderOfTheLastSelectedFile)
{
    Open();
    QDir().mkpath(folder.Path(u"Music/Other"_s));
    QStringList paths;
    for (const QString& name : {u"0.wav"_s, u"1.wav"_s, u"2.wav"_s, u"3.wav"_s, u"Other/4.wav"_s}) {
        paths << folder.MakeWav(name);
    }
    window->AddPaths(paths);
    list->SelectRow(0);
    list->SelectRow(4);

    FakeDesktop desktop;
    ChooseFromFileListMenu(list, MenuCommand::kOpenContainingFolder);
    const QStringList opened = desktop.Opened();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QDir::cleanPath(opened[0]), folder.Path(u"Music/Other"_s));
}

TEST_F(MainWindowCommandsTest, UpdateCodecsAfterACoderFolderWentKeepsDecodeOnlySelected)
{
    Open();
    window->AddPaths({folder.MakeFlac(u"a.flac"_s)});
    QComboBox* coders = window->Controls().coderCombo;
    const int decodeOnly = coders->count() - 1;
    coders->setCurrentIndex(decodeOnly);
    window->Apply();
    ASSERT_NE(window->FileList().At(0)->decoder, nullptr);

    ASSERT_TRUE(QDir(folder.Path(u"Coders/Ogg Vorbis"_s)).removeRecursively());
    window->RunCommand(MenuCommand::kUpdateCodecs);

    EXPECT_EQ(coders->count(), decodeOnly);
    EXPECT_EQ(coders->currentIndex(), coders->count() - 1);
    EXPECT_EQ(coders->currentText(), EnglishPack().GetString(111));
    EXPECT_TRUE(window->IsDecodeOnlySelected());
    // The plans made with the old definitions are gone.
    EXPECT_EQ(window->FileList().At(0)->decoder, nullptr);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages()[0].text, EnglishPack().GetString(153));
}

TEST_F(MainWindowCommandsTest, APluginThatFailsToLoadGetsNoItemAndTheNextOneOpensItsDialog)
{
#ifndef ORVEL_EXAMPLE_PLUGIN
    GTEST_SKIP() << "the example plugin is not built";
#else
    QDir().mkpath(folder.Path(u"Plugins"_s));
    folder.WriteFile(u"Plugins/a_broken.so"_s, "not a library");
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(ORVEL_EXAMPLE_PLUGIN),
                            folder.Path(u"Plugins/b_ReplayGain.so"_s)));
    Open();
    EXPECT_EQ(recorder.Count(), 1); // the broken library is reported

    const QList<QAction*> bar = window->MenuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    EXPECT_EQ(bar[2]->text(), EnglishPack().GetString(301));
    const QList<QAction*> items = bar[2]->menu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), u"ReplayGain tagger"_s);

    bool shown = false;
    WhenModalShown(u"replayGainDialog"_s, [&shown](QWidget* dialog) {
        shown = dialog->parentWidget() != nullptr;
        dialog->close();
    });
    items[0]->trigger();
    EXPECT_TRUE(shown);
#endif
}

TEST_F(MainWindowCommandsTest, AboutShowsTheVersionAndHelpSaysWhenTheManualIsMissing)
{
    Open();
    QString text;
    QString title;
    WhenModalShown(u"aboutBox"_s, [&](QWidget* about) {
        title = about->windowTitle();
        text = about->findChild<QLabel*>(u"aboutText"_s)->text();
        QTest::keyClick(about, Qt::Key_Escape);
    });
    window->RunCommand(MenuCommand::kAbout);
    EXPECT_EQ(title, EnglishPack().GetString(156));
    EXPECT_TRUE(text.startsWith(u"orvel 0.3.1 alpha [build 12]\n\n"_s));
    EXPECT_TRUE(
        text.contains(u"GNU General Public License, version 3 or (at your option) any later"_s))
        << text.toStdString();

    FakeDesktop desktop;
    window->RunCommand(MenuCommand::kHelp);
    EXPECT_TRUE(desktop.Opened().isEmpty());
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages()[0].text.contains(folder.Path(u"Manual/Manual.pdf"_s)));

    folder.WriteFile(u"Manual/Manual.pdf"_s, "%PDF-1.4\n");
    window->RunCommand(MenuCommand::kHelp);
    EXPECT_EQ(desktop.Opened(), QStringList{folder.Path(u"Manual/Manual.pdf"_s)});
    EXPECT_EQ(recorder.Count(), 1);
}

TEST_F(MainWindowCommandsTest, TheProgramMenuOpensOptionsCodecsInfoAndOneConsole)
{
    Open();
    window->Settings().optionsInitialPage = 1; // the Core page
    WhenModalShown(u"options"_s, [](QWidget* options) {
        options->findChild<QComboBox*>(u"threadsCount"_s)->setCurrentIndex(3);
        options->findChild<QPushButton*>(u"okButton"_s)->click();
    });
    FindCommandAction(window->MenuBar(), MenuCommand::kOptions)->trigger();
    EXPECT_EQ(window->Settings().core.threadsCount, 4);

    QString count;
    WhenModalShown(u"codecsInfo"_s, [&count](QWidget* codecs) {
        count = codecs->findChild<QLabel*>(u"countText"_s)->text();
        QTest::keyClick(codecs, Qt::Key_Escape);
    });
    FindCommandAction(window->MenuBar(), MenuCommand::kViewCodecsInfo)->trigger();
    // Three coders and one decoder; the decode-only entry is no codec.
    EXPECT_TRUE(count.contains(u'4')) << count.toStdString();

    // One console, without owner, so that the main window can come in front of it.
    window->RunCommand(MenuCommand::kConsoleWindow);
    window->RunCommand(MenuCommand::kConsoleWindow);
    QList<QWidget*> consoles;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"console"_s && widget->isVisible()) {
            consoles << widget;
        }
    }
    ASSERT_EQ(consoles.size(), 1);
    EXPECT_EQ(consoles[0]->parentWidget(), nullptr);
}

// xdg-open opens what the commands ask for; where it finds no program (exit status 3, which
// comes after Qt has answered success), each command says what could not be opened, and where.
TEST_F(MainWindowCommandsTest, OpeningWithoutAProgramNamesThePathThatDidNotOpen)
{
    Open();
    folder.WriteFile(u"Manual/Manual.pdf"_s, "%PDF-1.4\n");
    window->AddPaths({folder.MakeWav(u"a.wav"_s)});
    list->SelectRow(0);
    window->Settings().general.outputFolder = folder.Path(u"Out"_s) + u'/';
    const struct
    {
        int command;
        QString path;
    } cases[] = {
        {MenuCommand::kHelp, folder.Path(u"Manual/Manual.pdf"_s)},
        {MenuCommand::kOpenHomePage, folder.Path(u"Manual/Manual.pdf"_s)}, // no public page yet
        {MenuCommand::kOpenContainingFolder, folder.Path(u"Music"_s)},
        {MenuCommand::kOpenOutputFolder, folder.Path(u"Out/"_s)},
    };
    {
        FakeDesktop desktop;
        for (const auto& c : cases) {
            window->RunCommand(c.command);
        }
        // The runs end in any order.
        QStringList opened = desktop.Opened();
        QStringList asked;
        for (const auto& c : cases) {
            asked << QDir::cleanPath(c.path);
        }
        for (QString& path : opened) {
            path = QDir::cleanPath(path);
        }
        opened.sort();
        asked.sort();
        EXPECT_EQ(opened, asked);
        EXPECT_EQ(recorder.Count(), 0);
    }

    FakeDesktop nothingOpens(3);
    for (const auto& c : cases) {
        const int before = recorder.Count();
        window->RunCommand(c.command);
        ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Count() == before + 1; }, kWaitMs));
        const NotifierRecorder::Message message = recorder.Messages().last();
        EXPECT_EQ(message.icon, INotifier::Icon::Error);
        EXPECT_EQ(message.text, EnglishPack().GetString(300).replace(u"%s"_s, c.path));
    }
    // The coder's folder button too.
    window->Controls().coderFolderButton->click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return recorder.Count() == int(std::size(cases)) + 1; }, kWaitMs));
}

TEST_F(MainWindowCommandsTest, PluginsThatAllFailToLoadLeaveOneDisabledItemThatSaysSo)
{
    folder.WriteFile(u"Plugins/broken.so"_s, "not a library");
    Open();
    QMenu* plugins = window->MenuBar()->findChild<QMenu*>(u"pluginsMenu"_s);
    ASSERT_NE(plugins, nullptr);
    EXPECT_EQ(plugins->title(), u"Pl&ugins"_s);
    const QList<QAction*> items = plugins->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), EnglishPack().GetString(302));
    EXPECT_FALSE(items[0]->isEnabled());
}

TEST_F(MainWindowCommandsTest, SaveListAsksOnceBeforeReplacingAPlaylist)
{
    Open();
    window->AddPaths({folder.MakeWav(u"a.wav"_s)});
    // Qt's own question would come as a message box over the file dialog.
    int qtQuestions = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&qtQuestions] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++qtQuestions;
            box->reject();
        }
    });
    watch.start(5);
    for (const QString& chosen : {u"list.m3u"_s, u"list.M3U"_s}) {
        folder.WriteFile(u"list.m3u"_s, "old\r\n");
        recorder.SetAnswer(false);
        AnswerFileDialog(u"saveListDialog"_s,
                         [&](QFileDialog* dialog) { ChooseFile(dialog, folder.Path(chosen)); });
        window->RunCommand(MenuCommand::kSaveList);
        QFile kept(folder.Path(u"list.m3u"_s));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "old\r\n");
    }
    EXPECT_EQ(qtQuestions, 0);
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages()[0].question);
    EXPECT_TRUE(recorder.Messages()[0].text.contains(folder.Path(u"list.m3u"_s)));
}

// The job window shows the stored priority; the programs must run at it from the first Start.
TEST_F(MainWindowCommandsTest, TheStoredPriorityIsTheOneTheProgramsRunAt)
{
    folder.WriteFile(u"Settings.ini"_s, "[Settings.Core]\r\nPriority=0\r\nThreadsCount=1\r\n");
    folder.WriteFile(u"Coders/Nice/Presets.ini"_s, "Niceness\r\n%in% %out%\r\n");
    folder.WriteFile(u"Coders/Nice/Extensions.ini"_s, "txt\r\n");
    folder.WriteFile(u"Coders/Nice/report.name"_s, "Nice\r\n");
    // The priority reaches the program's group just after it is spawned: on a loaded machine
    // its very first instructions may still run at ours, so it looks a moment later.
    folder.WriteFile(u"Coders/Nice/report"_s, "#!/bin/sh\nsleep 0.5\nnice > \"$2\"\n");
    QFile(folder.Path(u"Coders/Nice/report"_s))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Open();
    window->AddPaths({folder.MakeWav(u"a.wav"_s)});
    QComboBox* coders = window->Controls().coderCombo;
    coders->setCurrentIndex(coders->findText(u"Nice"_s));
    coders->activated(coders->currentIndex());
    window->Controls().startButton->click();
    QFile niceness(folder.Path(u"Music/a.txt"_s));
    ASSERT_TRUE(niceness.open(QIODevice::ReadOnly));
    EXPECT_EQ(niceness.readAll().trimmed(), "19");
}

#include "dlg_main_commands_test.moc"
