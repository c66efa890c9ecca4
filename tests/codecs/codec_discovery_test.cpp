#include "codec_tree.h"
#include "codecs/codec_discovery.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QString Md5(const QByteArray& content)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex().toUpper());
}

// "name@executable path relative to root" for each definition, to compare whole lists.
template <typename List> QStringList Describe(const List& list, const QString& root)
{
    QStringList result;
    for (const auto& codec : list) {
        QString executable = codec->GetExecutable();
        if (executable.startsWith(root)) {
            executable = executable.mid(root.size() + 1);
        }
        result.append(codec->GetName() + u'@' + executable);
    }
    return result;
}

class CodecDiscoveryTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return dir.path() + u'/' + relative; }

    template <typename List> QStringList Names(const List& list) const
    {
        return Describe(list, dir.path());
    }

    QTemporaryDir dir;
};

TEST_F(CodecDiscoveryTest, ListsInNameOrderAndSeparatesPlainFoldersFromEverythingElse)
{
    for (const QString& folder : {u"b"_s, u"a"_s, u"A"_s, u".hidden"_s}) {
        ASSERT_TRUE(QDir().mkpath(Path(u"L/"_s + folder)));
    }
    WriteExecutable(Path(u"L/run"_s));
    WriteExecutable(Path(u"L/.secret"_s));
    WriteExecutable(Path(u"L/lib.so"_s));
    WriteText(Path(u"L/c.txt"_s), u"x"_s);
    WriteText(Path(u"L/Lib2.SO"_s), u"x"_s);
    ASSERT_TRUE(QFile::link(Path(u"L/run"_s), Path(u"L/Run link"_s)));
    ASSERT_TRUE(QFile::link(Path(u"L/a"_s), Path(u"L/folder link"_s)));
    ASSERT_TRUE(QFile::link(Path(u"L/gone"_s), Path(u"L/broken"_s)));
    // A FIFO would block whoever opens it to read.
    ASSERT_EQ(QProcess::execute(u"mkfifo"_s, {u"-m"_s, u"755"_s, Path(u"L/pipe"_s)}), 0);

    QStringList result;
    ASSERT_TRUE(ListFolders(Path(u"L"_s), u"*"_s, result));
    EXPECT_EQ(result, QStringList({Path(u"L/A"_s), Path(u"L/a"_s), Path(u"L/b"_s)}));

    ASSERT_TRUE(ListFiles(Path(u"L/"_s), u"*"_s, result));
    const QStringList everythingElse = {u".hidden"_s, u".secret"_s, u"c.txt"_s, u"folder link"_s,
                                        u"lib.so"_s,  u"Lib2.SO"_s, u"run"_s,   u"Run link"_s};
    QStringList expected;
    for (const QString& name : everythingElse) {
        expected.append(Path(u"L/"_s + name));
    }
    EXPECT_EQ(result, expected);

    ASSERT_TRUE(ListFiles(Path(u"L"_s), u"*.exe"_s, result));
    EXPECT_EQ(result, QStringList({Path(u"L/lib.so"_s), Path(u"L/run"_s), Path(u"L/Run link"_s)}));
    ASSERT_TRUE(ListFiles(Path(u"L"_s), u"*.so"_s, result));
    EXPECT_EQ(result, QStringList({Path(u"L/lib.so"_s), Path(u"L/Lib2.SO"_s)}));

    // Nothing to list: false with an empty result; an empty folder still lists.
    EXPECT_FALSE(ListFiles(Path(u"L/a"_s), u"*.exe"_s, result));
    EXPECT_TRUE(result.isEmpty());
    EXPECT_FALSE(ListFolders(Path(u"missing"_s), u"*"_s, result));
    EXPECT_TRUE(ListFiles(Path(u"L/a"_s), u"*"_s, result));
}

TEST_F(CodecDiscoveryTest, CoderFoldersGiveOneCoderPerExecutableInListingOrder)
{
    WriteExecutable(Path(u"Coders/Beta/enc2"_s));
    WriteExecutable(Path(u"Coders/Beta/enc1"_s));
    WriteText(Path(u"Coders/Beta/enc1.name"_s), u"Beta One"_s);
    WriteText(Path(u"Coders/Beta/Extensions.ini"_s), u"mp3"_s);
    WriteExecutable(Path(u"Coders/alpha/x"_s));
    WriteText(Path(u"Coders/Empty/Info.txt"_s), u"no executable here"_s);
    WriteText(Path(u"Coders/Empty/data"_s), u"not executable"_s);
    WriteExecutable(Path(u"Coders/.hidden/x"_s));
    WriteExecutable(Path(u"Coders/stray"_s));
    ASSERT_TRUE(QFile::link(Path(u"Coders/alpha"_s), Path(u"Coders/link"_s)));

    CoderList coders;
    EXPECT_TRUE(ScanCoderFolders(Path(u"Coders"_s), coders));

    EXPECT_EQ(Names(coders), QStringList({u"alpha@Coders/alpha/x"_s, u"Beta One@Coders/Beta/enc1"_s,
                                          u"Beta@Coders/Beta/enc2"_s}));
    EXPECT_EQ(coders[1]->GetEntries().size(), 1);
    EXPECT_EQ(coders[2]->GetEntries().size(), 1); // both executables share the folder's presets
    EXPECT_FALSE(ScanCoderFolders(Path(u"missing"_s), coders));
    EXPECT_EQ(coders.size(), 3u);
}

// A decoder folder whose program is missing hides no other decoder, whichever is listed first.
TEST_F(CodecDiscoveryTest, DecoderFolderWithoutExecutableIsSkipped)
{
    struct Case
    {
        QString withoutExecutable;
        QString withExecutable;
        QStringList expected;
    };
    const Case cases[] = {
        {u"A"_s, u"B"_s, {u"B@D/B/dec"_s}},
        {u"B"_s, u"A"_s, {u"A@D/A/dec"_s}},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        WriteText(root.filePath(u"D/"_s + c.withoutExecutable + u"/Extensions.ini"_s), u"x"_s);
        WriteExecutable(root.filePath(u"D/"_s + c.withExecutable + u"/dec"_s));
        QFile::link(root.filePath(u"gone"_s),
                    root.filePath(u"D/"_s + c.withoutExecutable + u"/dec"_s));

        DecoderList decoders;
        EXPECT_TRUE(ScanDecoderFolders(root.filePath(u"D"_s), decoders));
        EXPECT_EQ(Describe(decoders, root.path()), c.expected);
    }
}

class CodecsFolderTest : public CodecDiscoveryTest
{
protected:
    void SetUp() override
    {
        WriteExecutable(Path(u"Codecs/both"_s), "both");
        WriteExecutable(Path(u"Codecs/byname"_s), "by name only");
        WriteExecutable(Path(u"Codecs/lower"_s), "lower-case hash");
        WriteExecutable(Path(u"Codecs/neither"_s), "neither");
        WriteExecutable(Path(u"Codecs/unknown"_s), "unknown");
        WriteBytes(Path(u"Codecs/notexec"_s), "both");
        WriteExecutable(Path(u"Codecs/sub/both"_s), "both");

        const QString xml = uR"(<db Date="7">
  <e Hash="%1" FileName="other" Description="Both" Date="2020" Format="MP3">
    <c CommandLine="enc %in% %out%" Extension="mp3" Description="Preset" Type="Coding"/>
    <c CommandLine="dec" Extension="mp3" Description="Dec" Type="Decoding"/>
    <c CommandLine="enc2" Extension=".mp3" Description="Preset 2" Type="Coding"/>
  </e>
  <e Hash="%1" Description="Duplicate"><c Type="Coding"/><c Type="Decoding"/></e>
  <e Hash="0123" FileName="byname" Description="ByName"><c Type="Decoding"/></e>
  <e Hash="%2" FileName="lower" Description="Lower"><c Type="Coding"/></e>
  <e Hash="%3" FileName="neither" Description="Neither">
    <c Type="coding"/><c Type="Encoding"/><!-- empty -->
  </e>
</db>)"_s.arg(Md5("both"), Md5("lower-case hash").toLower(), Md5("neither"));
        WriteText(Path(u"Base.xml"_s), xml);
        ASSERT_TRUE(LoadDatabase(database, Path(u"Base.xml"_s)));
    }

    ExecutableDatabase database;
};

TEST_F(CodecsFolderTest, RecognisesExecutablesByHashAndOptionallyByFileName)
{
    CoderList coders;
    DecoderList decoders;
    EXPECT_TRUE(ScanCodecsForCoders(database, Path(u"Codecs"_s), coders, false));
    EXPECT_TRUE(ScanCodecsForDecoders(database, Path(u"Codecs"_s), decoders, false));
    EXPECT_EQ(Names(coders), QStringList({u"Both@Codecs/both"_s}));
    EXPECT_EQ(Names(decoders), QStringList({u"Both@Codecs/both"_s}));

    const CCoder& both = *coders[0];
    EXPECT_EQ(both.description, u"Both"_s);
    EXPECT_EQ(both.date, u"2020"_s);
    EXPECT_EQ(both.format, u"MP3"_s);
    EXPECT_EQ(both.fileSize, 4u);
    EXPECT_TRUE(both.folder.isEmpty());
    ASSERT_EQ(coders[0]->GetEntries().size(), 2);
    EXPECT_EQ(coders[0]->GetEntries()[1].commandLine, u"enc2"_s);
    EXPECT_EQ(coders[0]->GetEntries()[1].extension, u".mp3"_s);
    EXPECT_EQ(coders[0]->GetEntries()[1].name, u"Preset 2"_s);
    ASSERT_EQ(decoders[0]->GetEntries().size(), 1);
    EXPECT_EQ(decoders[0]->GetEntries()[0].name, u"Dec"_s);

    coders.clear();
    decoders.clear();
    ScanCodecsForCoders(database, Path(u"Codecs"_s), coders, true);
    ScanCodecsForDecoders(database, Path(u"Codecs"_s), decoders, true);
    EXPECT_EQ(Names(coders), QStringList({u"Both@Codecs/both"_s, u"Lower@Codecs/lower"_s}));
    EXPECT_EQ(Names(decoders), QStringList({u"Both@Codecs/both"_s, u"ByName@Codecs/byname"_s}));
}

TEST_F(CodecsFolderTest, DiscoveryOrdersFolderCodersThenCodecsThenDecodeOnly)
{
    WriteExecutable(Path(u"Coders/Z/enc"_s));
    WriteExecutable(Path(u"Decoders/Y/dec"_s));
    WriteExecutable(Path(u"Decoders/X/dec"_s));

    CoderList coders;
    DecoderList decoders;
    DiscoverCodecs(dir.path(), database, coders, decoders, false, u"Decode only"_s);

    EXPECT_EQ(Names(coders),
              QStringList({u"Z@Coders/Z/enc"_s, u"Both@Codecs/both"_s, u"Decode only@"_s}));
    EXPECT_TRUE(coders.back()->GetEntries().isEmpty());
    EXPECT_EQ(Names(decoders),
              QStringList({u"X@Decoders/X/dec"_s, u"Y@Decoders/Y/dec"_s, u"Both@Codecs/both"_s}));

    // A rescan sees folder changes at once; the database is not reloaded.
    ASSERT_TRUE(QDir(Path(u"Coders/Z"_s)).removeRecursively());
    ASSERT_TRUE(QFile::remove(Path(u"Decoders/X/dec"_s)));
    ASSERT_TRUE(QFile::remove(Path(u"Base.xml"_s)));
    RescanCoders(dir.path(), database, coders, true, u"Decode only"_s);
    RescanDecoders(dir.path(), database, decoders, true);
    EXPECT_EQ(Names(coders),
              QStringList({u"Both@Codecs/both"_s, u"Lower@Codecs/lower"_s, u"Decode only@"_s}));
    // X, emptied, no longer hides Y.
    EXPECT_EQ(Names(decoders), QStringList({u"Y@Decoders/Y/dec"_s, u"Both@Codecs/both"_s,
                                            u"ByName@Codecs/byname"_s}));
}

TEST(CodecDiscoveryEmptyTest, MissingFoldersLeaveOnlyTheDecodeOnlyEntry)
{
    QTemporaryDir dir;
    ExecutableDatabase database;
    CoderList coders;
    DecoderList decoders;
    DiscoverCodecs(dir.path(), database, coders, decoders, true, u"Decode"_s);

    ASSERT_EQ(coders.size(), 1u);
    EXPECT_EQ(coders[0]->GetName(), u"Decode"_s);
    EXPECT_TRUE(coders[0]->GetExecutable().isEmpty());
    EXPECT_TRUE(decoders.empty());
}

} // namespace
