#include "codec_tree.h"
#include "codecs/codec.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

struct EntryText
{
    QString extension;
    QString name;
    QString commandLine;
};

void ExpectEntries(const QList<CodecEntry>& actual, const std::vector<EntryText>& expected)
{
    ASSERT_EQ(actual.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const CodecEntry& entry = actual[static_cast<qsizetype>(i)];
        EXPECT_EQ(entry.extension, expected[i].extension) << "entry " << i;
        EXPECT_EQ(entry.name, expected[i].name) << "entry " << i;
        EXPECT_EQ(entry.commandLine, expected[i].commandLine) << "entry " << i;
    }
}

class CodecTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return dir.filePath(relative); }

    QTemporaryDir dir;
};

TEST_F(CodecTest, CoderTakesFolderNameAndPairsPresetsWithExtensionsByPosition)
{
    WriteExecutable(Path(u"Sample/enc"_s), QByteArray(5000, 'x'));
    WriteText(Path(u"Sample/Extensions.ini"_s), u"mp3\r\n\r\n  ogg \t\r\n[x]"_s);
    // Empty lines are skipped, a line of blanks is data, "[Presets]" is just a name.
    WriteText(Path(u"Sample/Presets.ini"_s), u"[Presets]\n\n-V 2 %in% %out%\nFast\n   \n"_s);

    CCoder coder;
    ASSERT_TRUE(coder.Load(Path(u"Sample/enc"_s)));

    EXPECT_EQ(coder.GetExecutable(), Path(u"Sample/enc"_s));
    EXPECT_EQ(coder.GetName(), u"Sample"_s);
    EXPECT_EQ(coder.GetFolder(), Path(u"Sample"_s));
    EXPECT_EQ(coder.GetFileSize(), 5000u);
    EXPECT_TRUE(coder.description.isEmpty());
    ExpectEntries(coder.GetEntries(), {{u"mp3"_s, u"[Presets]"_s, u"-V 2 %in% %out%"_s},
                                       {u"ogg"_s, u"Fast"_s, u"   "_s},
                                       {u"[x]"_s, QString(), QString()}});
}

TEST_F(CodecTest, CoderReadsNameAndInfoFilesInEveryEncoding)
{
    // The ".name" line keeps its blanks; Info.txt lines are trimmed and only three are read.
    WriteBytes(Path(u"A/enc.name"_s),
               Encoded(u"  Grüße \u4e2d  \r\nignored"_s, QStringConverter::Utf16LE));
    WriteBytes(Path(u"A/Info.txt"_s),
               Encoded(u" Desc é \nMP3\t\n 2024 \nfourth\n"_s, QStringConverter::Utf16BE));
    WriteBytes(Path(u"A/Extensions.ini"_s), Encoded(u" mp3 \n"_s, QStringConverter::Utf8));
    WriteBytes(Path(u"A/Presets.ini"_s), Encoded(u"Näme\n%in% %out%"_s, QStringConverter::Utf8));
    WriteExecutable(Path(u"A/enc"_s));

    CCoder coder;
    coder.Load(Path(u"A/enc"_s));

    EXPECT_EQ(coder.GetName(), u"  Grüße \u4e2d  "_s);
    EXPECT_EQ(coder.description, u"Desc é"_s);
    EXPECT_EQ(coder.format, u"MP3"_s);
    EXPECT_EQ(coder.date, u"2024"_s);
    ExpectEntries(coder.GetEntries(), {{u"mp3"_s, u"Näme"_s, u"%in% %out%"_s}});
}

TEST_F(CodecTest, CoderNameFileFollowsThePathHelpersExtensionRules)
{
    // "enc.beta" loses ".beta", so "enc.name" is consulted and "enc.beta.name" is not.
    WriteExecutable(Path(u"F/enc.beta"_s));
    WriteText(Path(u"F/enc.name"_s), u"from enc.name"_s);
    WriteText(Path(u"F/enc.beta.name"_s), u"never"_s);
    WriteExecutable(Path(u"F/empty"_s));
    WriteText(Path(u"F/empty.name"_s), QString());
    WriteText(Path(u"F/Info.txt"_s), u"  only one line  "_s);

    CCoder beta;
    beta.Load(Path(u"F/enc.beta"_s));
    CCoder empty;
    empty.Load(Path(u"F/empty"_s));

    EXPECT_EQ(beta.GetName(), u"from enc.name"_s);
    EXPECT_EQ(empty.GetName(), QString());
    EXPECT_EQ(beta.description, u"only one line"_s);
    EXPECT_TRUE(beta.format.isEmpty());
    EXPECT_TRUE(beta.date.isEmpty());
    EXPECT_TRUE(beta.GetEntries().isEmpty()); // no Extensions.ini: no presets
}

TEST_F(CodecTest, UnreadableDescriptionFilesLeaveFieldsEmpty)
{
    // Folders where the files should be: they exist but cannot be read as text.
    for (const QString& name : {u"enc.name"_s, u"Info.txt"_s, u"Presets.ini"_s}) {
        ASSERT_TRUE(QDir().mkpath(Path(u"D/"_s + name)));
    }
    WriteText(Path(u"D/Extensions.ini"_s), u"wav"_s);
    WriteExecutable(Path(u"D/enc"_s));

    CCoder coder;
    EXPECT_TRUE(coder.Load(Path(u"D/enc"_s)));

    EXPECT_EQ(coder.GetName(), QString());
    EXPECT_TRUE(coder.description.isEmpty());
    ExpectEntries(coder.GetEntries(), {{u"wav"_s, QString(), QString()}});
}

TEST_F(CodecTest, ADescriptionFileWithAReadErrorMakesOnlyThatCodecInvalid)
{
    // Reading /proc/self/mem from its start fails with an I/O error on the first read.
    const QStringList coderFiles = {u"enc.name"_s, u"Info.txt"_s, u"Presets.ini"_s,
                                    u"Extensions.ini"_s};
    for (const QString& name : coderFiles + QStringList{u"Format.ini"_s}) {
        SCOPED_TRACE(name.toStdString());
        const QString folder = u"E "_s + name + u'/';
        WriteText(Path(folder + u"Extensions.ini"_s), u"wav"_s);
        QFile::remove(Path(folder + name));
        ASSERT_TRUE(QFile::link(u"/proc/self/mem"_s, Path(folder + name)));
        WriteExecutable(Path(folder + u"enc"_s));
        if (coderFiles.contains(name)) {
            EXPECT_FALSE(CCoder().Load(Path(folder + u"enc"_s)));
        } else {
            EXPECT_FALSE(CDecoder().Load(Path(folder + u"enc"_s)));
        }
    }
}

TEST_F(CodecTest, DecoderIsNamedByItsFolderAndHasNoNamesOrFolder)
{
    WriteExecutable(Path(u"FLAC dec/flac"_s));
    WriteText(Path(u"FLAC dec/flac.name"_s), u"ignored"_s);
    WriteText(Path(u"FLAC dec/Info.txt"_s), u"ignored"_s);
    WriteText(Path(u"FLAC dec/Extensions.ini"_s), u"flac\r\nfla\r\n\r\noga"_s);
    WriteText(Path(u"FLAC dec/Format.ini"_s), u"-d %in%\r\n\r\n-d -o %out% %in%"_s);

    CDecoder decoder;
    ASSERT_TRUE(decoder.Load(Path(u"FLAC dec/flac"_s)));

    EXPECT_EQ(decoder.GetKind(), 1);
    EXPECT_EQ(decoder.GetName(), u"FLAC dec"_s);
    EXPECT_TRUE(decoder.GetFolder().isEmpty());
    EXPECT_TRUE(decoder.description.isEmpty());
    ExpectEntries(decoder.GetEntries(), {{u"flac"_s, QString(), u"-d %in%"_s},
                                         {u"fla"_s, QString(), u"-d -o %out% %in%"_s},
                                         {u"oga"_s, QString(), QString()}});
}

TEST_F(CodecTest, FileSizeFollowsLinksAndMarksMissingFiles)
{
    WriteBytes(Path(u"target"_s), QByteArray(12345, '\0'));
    ASSERT_TRUE(QFile::link(Path(u"target"_s), Path(u"link"_s)));

    EXPECT_EQ(FileSize32(Path(u"target"_s)), 12345u);
    EXPECT_EQ(FileSize32(Path(u"link"_s)), 12345u);
    EXPECT_EQ(FileSize32(Path(u"missing"_s)), 0xFFFFFFFFu);
}

} // namespace
