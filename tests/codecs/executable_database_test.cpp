#include "codec_tree.h"
#include "codecs/executable_database.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class ExecutableDatabaseTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return dir.filePath(relative); }

    QTemporaryDir dir;
};

TEST_F(ExecutableDatabaseTest, ReadsAttributesByPositionAndCountsCommentsAsCommandLines)
{
    WriteText(Path(u"Base.xml"_s), uR"(<?xml version="1.0" encoding="UTF-8"?>
<!-- before -->
<?pi before?>
<anything Date="2024-01-02" Hash="not read">
  <!-- not an entry -->
  loose text
  <exe Hash="ABC" FileName="enc" FileSize="12" Date="d" Description="Enc  1" Type="t" Format="MP3"
       Extra="x">
    <cl CommandLine="-V 2 %in% %out%" Extension="mp3" Description="V2" Type="Coding">
      <deeper CommandLine="never" Type="Coding"/>
    </cl>
    text is ignored
    <!-- a command line with all fields empty -->
    <?pi also one?>
    <cl commandline="wrong case" Type="Decoding"/>
  </exe>
  <exe Hash="abc" FileName="lower"/>
  <exe Hash="ABC" FileName="duplicate"/>
</anything>
)"_s);

    ExecutableDatabase database;
    ASSERT_TRUE(LoadDatabase(database, Path(u"Base.xml"_s)));

    EXPECT_EQ(database.GetDate(), u"2024-01-02"_s);
    ASSERT_EQ(database.GetEntryCount(), 3);
    const ExecutableEntry& first = database.entries[0];
    EXPECT_EQ(QStringList({first.Hash, first.FileName, first.FileSize, first.Date,
                           first.Description, first.Type, first.Format}),
              QStringList({u"ABC"_s, u"enc"_s, u"12"_s, u"d"_s, u"Enc  1"_s, u"t"_s, u"MP3"_s}));
    QStringList commandLines;
    for (const CommandLineEntry& line : first.commandLines) {
        commandLines.append(
            QStringList({line.CommandLine, line.Extension, line.Description, line.Type})
                .join(u'|'));
    }
    EXPECT_EQ(commandLines, QStringList({u"-V 2 %in% %out%|mp3|V2|Coding"_s, u"|||"_s, u"|||"_s,
                                         u"|||Decoding"_s}));
    EXPECT_TRUE(database.entries[1].Description.isEmpty());
    EXPECT_TRUE(database.entries[1].commandLines.empty());

    // Exact, case-sensitive lookups; the first of duplicates wins.
    EXPECT_EQ(FindEntryByHash(database, u"ABC"_s), &database.entries[0]);
    EXPECT_EQ(FindEntryByHash(database, u"abc"_s), &database.entries[1]);
    EXPECT_EQ(FindEntryByHash(database, u"Abc"_s), nullptr);
    EXPECT_EQ(FindEntryByFileName(database, u"duplicate"_s), &database.entries[2]);
    EXPECT_EQ(FindEntryByFileName(database, u"ENC"_s), nullptr);
}

TEST_F(ExecutableDatabaseTest, ReadsAnyEncodingXmlAllows)
{
    WriteBytes(Path(u"Base.xml"_s),
               Encoded(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><db Date=\"é\u4e2d\">"
                       u"<e Description=\"Ünï\"/></db>"_s,
                       QStringConverter::Utf16LE));

    ExecutableDatabase database;
    ASSERT_TRUE(LoadDatabase(database, Path(u"Base.xml"_s)));
    EXPECT_EQ(database.Date, u"é\u4e2d"_s);
    ASSERT_EQ(database.GetEntryCount(), 1);
    EXPECT_EQ(database.entries[0].Description, u"Ünï"_s);
}

TEST_F(ExecutableDatabaseTest, RefusesMissingUnreadableAndMalformedDocuments)
{
    const QString path = Path(u"Base.xml"_s);
    WriteText(Path(u"good.xml"_s), u"<db Date=\"x\"><e Hash=\"H\"/></db>"_s);
    ASSERT_TRUE(QDir().mkpath(Path(u"folder.xml"_s)));

    const QString malformed[] = {
        QString(),
        u"   "_s,
        u"<!-- only a comment -->"_s,
        u"<db><e></db>"_s,
        u"<db/><db/>"_s,
        u"<db Date=\"1\" Date=\"2\"/>"_s,
        u"<db><e Hash=\"&undefined;\"/></db>"_s,
        u"not xml at all"_s,
    };
    for (const QString& text : malformed) {
        WriteText(path, text);
        ExecutableDatabase database;
        ASSERT_TRUE(LoadDatabase(database, Path(u"good.xml"_s)));
        EXPECT_FALSE(LoadDatabase(database, path)) << text.toStdString();
        EXPECT_EQ(database.GetEntryCount(), 0) << text.toStdString();
        EXPECT_TRUE(database.Date.isEmpty());
    }

    ExecutableDatabase database;
    EXPECT_FALSE(LoadDatabase(database, Path(u"missing.xml"_s)));
    EXPECT_FALSE(LoadDatabase(database, Path(u"folder.xml"_s)));
}

TEST_F(ExecutableDatabaseTest, HashesWholeFilesAcrossBlockBoundaries)
{
    WriteBytes(Path(u"empty"_s), QByteArray());
    WriteBytes(Path(u"abc"_s), "abc");
    EXPECT_EQ(HashFile(Path(u"empty"_s)), u"D41D8CD98F00B204E9800998ECF8427E"_s);
    EXPECT_EQ(HashFile(Path(u"abc"_s)), u"900150983CD24FB0D6963F7D28E17F72"_s);

    for (int size : {16383, 16384, 16385, 3 * 16384, 100000}) {
        QByteArray content(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i) {
            content[i] = static_cast<char>((i * 7919) >> 3);
        }
        WriteBytes(Path(u"blocks"_s), content);
        const QByteArray expected =
            QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex().toUpper();
        EXPECT_EQ(HashFile(Path(u"blocks"_s)), QString::fromLatin1(expected)) << size;
    }

    ASSERT_TRUE(QDir().mkpath(Path(u"folder"_s)));
    EXPECT_TRUE(HashFile(Path(u"missing"_s)).isEmpty());
    EXPECT_TRUE(HashFile(Path(u"folder"_s)).isEmpty());
}

} // namespace
