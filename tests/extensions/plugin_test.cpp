#include "extensions/language_pack.h"
#include "extensions/plugin.h"
#include "support/notifier_recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString BuiltPlugin(const QString& tag)
{
    return QString::fromUtf8(ORVEL_TEST_PLUGIN_DIR) + u'/' + tag + u".so"_s;
}

QString PointerText(const void* pointer)
{
    return QString::asprintf("%p", pointer);
}

// A stand-in core that notes in the plugins' log when it is destroyed, so the order of
// de-initialisation, core release and unloading shows in one place.
class CLoggingCore final : public ICore
{
public:
    CLoggingCore(QString log, int serial) : logPath(std::move(log)), serialNumber(serial) {}
    ~CLoggingCore()
    {
        QFile log(logPath);
        if (log.open(QIODevice::Append))
            log.write("core " + QByteArray::number(serialNumber) + " destroyed\n");
    }
    bool Start() override { return true; }
    bool AddProcess(IProcess*) override { return false; }
    void ClearQueue() override {}
    bool Stop() override { return true; }
    void SetPriority(quint32) override {}
    void SetThreadsCount(int) override {}
    double GetCpuUsage() override { return 0; }
    int GetStartedCount() override { return 0; }
    int GetLaunchedCount() override { return 0; }
    int GetTotalCount() override { return 0; }
    void GetRunningProcesses(QList<IProcess*>& processes) override { processes.clear(); }
    bool IsRunning() override { return false; }

private:
    QString logPath;
    int serialNumber;
};

// A program folder with a "Plugins" folder, the plugins' call log and a language pack.
class PluginTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(program.path()).mkdir(u"Plugins"_s));
        logPath = program.filePath(u"calls.log"_s);
        qputenv("ORVEL_PLUGIN_LOG", logPath.toUtf8());
        QFile pack(program.filePath(u"English.json"_s));
        ASSERT_TRUE(pack.open(QIODevice::WriteOnly));
        pack.write(R"({"strings": {"116": "Plug-ins", "119": "Fehler"}})");
        pack.close();
        ASSERT_TRUE(language().LoadLanguage(pack.fileName(), u"English"_s));
    }

    void TearDown() override
    {
        language().Unload();
        qunsetenv("ORVEL_PLUGIN_LOG");
    }

    static CLanguagePack& language() { return CLanguagePack::Instance(); }

    QString PluginPath(const QString& name) const { return program.filePath(u"Plugins/"_s + name); }

    void AddPlugin(const QString& tag, const QString& name) const
    {
        ASSERT_TRUE(QFile::copy(BuiltPlugin(tag), PluginPath(name)));
    }

    void AddFile(const QString& name, const QByteArray& content) const
    {
        QFile file(PluginPath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // The usual folder: a complete plugin, one lacking "DeInitPlugin", a file that is no
    // library, and a plugin whose name and version have blanks around them.
    void AddUsualPlugins() const
    {
        AddPlugin(u"complete"_s, u"a_complete.so"_s);
        AddPlugin(u"no_deinit"_s, u"b_no_deinit.so"_s);
        AddFile(u"c_broken.so"_s, "this is not a shared library\n");
        AddPlugin(u"blanks"_s, u"d_blanks.so"_s);
    }

    void LoadAll(CPluginList& plugins)
    {
        plugins.LoadAll(program.path(), language(), [this] { return MakeCore(); });
    }

    PluginCore MakeCore()
    {
        return PluginCore(new CLoggingCore(logPath, ++coresMade),
                          [](ICore* core) { delete static_cast<CLoggingCore*>(core); });
    }

    QStringList Calls() const
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir program;
    QString logPath;
    int coresMade = 0;
};

} // namespace

TEST_F(PluginTest, ListsTheLoadablePluginsWithTrimmedNamesAndReportsTheBrokenFileOnce)
{
    AddUsualPlugins();
    NotifierRecorder recorder;
    CPluginList plugins;
    LoadAll(plugins);

    EXPECT_TRUE(plugins.FoundAny());
    ASSERT_EQ(plugins.Count(), 2);
    const CPlugin& complete = plugins.At(0);
    EXPECT_EQ(complete.name, u"Complete Plugin"_s);
    EXPECT_EQ(complete.version, u"1.0"_s);
    EXPECT_EQ(complete.fileName, u"a_complete.so"_s);
    EXPECT_EQ(complete.fileSize, quint32(QFileInfo(PluginPath(u"a_complete.so"_s)).size()));
    const CPlugin& blanks = plugins.At(1);
    EXPECT_EQ(blanks.name, u"Blank Name"_s);
    EXPECT_EQ(blanks.version, u"2.5 beta"_s);
    EXPECT_EQ(blanks.fileName, u"d_blanks.so"_s);
    EXPECT_EQ(CPluginList::CommandId(0), 100000);
    EXPECT_EQ(CPluginList::CommandId(1), 100001);

    const QList<NotifierRecorder::Message> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].icon, INotifier::Icon::Error);
    EXPECT_EQ(messages[0].caption, u"Fehler"_s);
    EXPECT_TRUE(messages[0].text.contains(u"c_broken.so"_s)) << messages[0].text.toStdString();
}

TEST_F(PluginTest, CallsTheExportsInOrderAndDeInitialisesEachPluginOnceBeforeUnloading)
{
    AddUsualPlugins();
    NotifierRecorder recorder;
    QString completeCore;
    QString blanksCore;
    {
        CPluginList plugins;
        LoadAll(plugins);
        ASSERT_EQ(plugins.Count(), 2);
        completeCore = PointerText(plugins.At(0).core.get());
        blanksCore = PointerText(plugins.At(1).core.get());
    }
    const QString module = PointerText(language().PluginLanguageObject()->module);
    const QStringList expected = {
        u"complete InitPlugin"_s,
        u"complete SetLanguage %1 Plug-ins"_s.arg(module),
        u"complete SetCoreObject %1"_s.arg(completeCore),
        u"complete GetPluginName"_s,
        u"complete GetPluginVersion"_s,
        // Lacking an export, it is never initialised and is unloaded at once; the records of
        // it and of the file that is no library are dropped with their cores.
        u"no_deinit unloaded"_s,
        u"core 2 destroyed"_s,
        u"core 3 destroyed"_s,
        u"blanks InitPlugin"_s,
        u"blanks SetLanguage %1 Plug-ins"_s.arg(module),
        u"blanks SetCoreObject %1"_s.arg(blanksCore),
        u"blanks GetPluginName"_s,
        u"blanks GetPluginVersion"_s,
        // At the end, in list order: de-initialised, core released, library unloaded.
        u"complete DeInitPlugin core %1"_s.arg(completeCore),
        u"core 1 destroyed"_s,
        u"complete unloaded"_s,
        u"blanks DeInitPlugin core %1"_s.arg(blanksCore),
        u"core 4 destroyed"_s,
        u"blanks unloaded"_s,
    };
    EXPECT_EQ(Calls().join(u'\n').toStdString(), expected.join(u'\n').toStdString());
}

TEST_F(PluginTest, EachCommandReachesItsOwnPluginAndOthersReachNone)
{
    AddUsualPlugins();
    NotifierRecorder recorder;
    CPluginList plugins;
    LoadAll(plugins);
    ASSERT_EQ(plugins.Count(), 2);
    int first = 0;
    int second = 0;

    EXPECT_TRUE(plugins.ShowDialog(100001, &second));
    EXPECT_TRUE(plugins.ShowDialog(100000, &first));
    EXPECT_FALSE(plugins.ShowDialog(100002, &first));
    EXPECT_FALSE(plugins.ShowDialog(99999, &first));
    EXPECT_FALSE(plugins.ShowDialog(-2147483647 - 1, &first));

    const QStringList dialogs = Calls().filter(u"ShowPluginDialog"_s);
    EXPECT_EQ(dialogs.join(u'\n').toStdString(),
              (u"blanks ShowPluginDialog %1\ncomplete ShowPluginDialog %2"_s)
                  .arg(PointerText(&second), PointerText(&first))
                  .toStdString());
}

TEST_F(PluginTest, EachPluginGetsACoreOfItsOwn)
{
    AddPlugin(u"complete"_s, u"one.so"_s);
    AddPlugin(u"complete"_s, u"two.so"_s);
    CPluginList plugins;
    LoadAll(plugins);
    ASSERT_EQ(plugins.Count(), 2);
    ASSERT_NE(plugins.At(0).core, nullptr);
    EXPECT_NE(plugins.At(0).core.get(), plugins.At(1).core.get());
    EXPECT_EQ(Calls().filter(u"SetCoreObject"_s).join(u'\n').toStdString(),
              (u"complete SetCoreObject %1\ncomplete SetCoreObject %2"_s)
                  .arg(PointerText(plugins.At(0).core.get()), PointerText(plugins.At(1).core.get()))
                  .toStdString());
}

TEST_F(PluginTest, FoldersWithoutLoadablePlugins)
{
    NotifierRecorder recorder;
    {
        CPluginList plugins;
        LoadAll(plugins);
        EXPECT_FALSE(plugins.FoundAny()) << "empty folder";
    }
    ASSERT_TRUE(QDir(PluginPath(QString())).removeRecursively());
    {
        CPluginList plugins;
        LoadAll(plugins);
        EXPECT_FALSE(plugins.FoundAny()) << "no folder";
    }
    ASSERT_TRUE(QDir(program.path()).mkdir(u"Plugins"_s));
    AddFile(u"broken.so"_s, QByteArray());
    AddFile(u"readme.txt"_s, "not a plugin name");
    {
        CPluginList plugins;
        LoadAll(plugins);
        // The menu still appears, empty, when files were found but none loaded.
        EXPECT_TRUE(plugins.FoundAny());
        EXPECT_EQ(plugins.Count(), 0);
    }
    EXPECT_EQ(recorder.Count(), 1);
}

TEST_F(PluginTest, PluginFilesAreListedByNameWhateverTheirCase)
{
    for (const char16_t* name : {u"b.so", u"a.so", u"A.so", u".hidden.so", u"c.SO", u"d.so.1"})
        AddFile(QString::fromUtf16(name), "x");
    ASSERT_TRUE(QDir(PluginPath(QString())).mkdir(u"folder.so"_s));
    ASSERT_TRUE(QFile::link(PluginPath(u"a.so"_s), PluginPath(u"link.so"_s)));

    QStringList names;
    for (const QString& path : ListPluginFiles(PluginPath(QString()).chopped(1)))
        names.append(path.mid(path.lastIndexOf(u'/') + 1));
    EXPECT_EQ(names.join(u' ').toStdString(), ".hidden.so A.so a.so b.so c.SO link.so");
}
