#include "settings/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class IniFileTest : public ::testing::Test
{
protected:
    QString Path() const { return dir.filePath(u"Settings.ini"_s); }

    CIniFile Loaded(const QByteArray& bytes)
    {
        WriteBytes(Path(), bytes);
        CIniFile ini;
        EXPECT_TRUE(ini.Load(Path()));
        return ini;
    }

    QTemporaryDir dir;
};

struct ReadCase
{
    const char* what;
    QByteArray file;
    QString section;
    QString key;
    std::optional<QString> expected;
};

TEST_F(IniFileTest, ReadsValuesAsTheProfileFunctionsDo)
{
    const ReadCase cases[] = {
        {"plain", "[S]\r\nA=5\r\n", u"S"_s, u"A"_s, u"5"_s},
        {"names ignore case", "[sEtTiNgS]\r\ncoderindex=3\r\n", u"Settings"_s, u"CoderIndex"_s,
         u"3"_s},
        {"blanks around names and values", "  [ S ]  \r\n\t A \t=  x y \t\r\n", u"S"_s, u"A"_s,
         u"x y"_s},
        {"double quotes unwrapped", "[S]\nA=\"  q  \"\n", u"S"_s, u"A"_s, u"  q  "_s},
        {"single quotes unwrapped", "[S]\nA='q'\n", u"S"_s, u"A"_s, u"q"_s},
        {"unmatched quotes kept", "[S]\nA=\"q'\n", u"S"_s, u"A"_s, u"\"q'"_s},
        {"equals sign inside the value", "[S]\nA=b=c\n", u"S"_s, u"A"_s, u"b=c"_s},
        {"empty value", "[S]\nA=\n", u"S"_s, u"A"_s, QString()},
        {"first duplicate key wins", "[S]\nA=1\nA=2\n", u"S"_s, u"A"_s, u"1"_s},
        {"first duplicate section wins", "[S]\nA=1\n[s]\nA=2\nB=3\n", u"S"_s, u"B"_s, std::nullopt},
        {"key of another section", "[S]\n[T]\nA=1\n", u"S"_s, u"A"_s, std::nullopt},
        {"key before any section", "A=1\n[S]\n", u"S"_s, u"A"_s, std::nullopt},
        {"comment holding an equals sign", "[S]\n;A=1\n#A=2\n", u"S"_s, u";A"_s, std::nullopt},
        {"line without equals sign", "[S]\nA\n", u"S"_s, u"A"_s, std::nullopt},
        {"lone CR ends lines", "[S]\rA=1\rB=2", u"S"_s, u"B"_s, u"2"_s},
        {"non-ASCII", "[S]\nÄ=ü€\n", u"S"_s, u"ä"_s, u"ü€"_s},
        {"byte-order mark", "\xEF\xBB\xBF[S]\nA=1\n", u"S"_s, u"A"_s, u"1"_s},
        {"missing section", "[S]\nA=1\n", u"T"_s, u"A"_s, std::nullopt},
    };
    for (const ReadCase& c : cases) {
        const CIniFile ini = Loaded(c.file);
        EXPECT_EQ(ini.Read(c.section, c.key), c.expected) << c.what;
    }
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndUnreadableFileFails)
{
    CIniFile ini;
    EXPECT_TRUE(ini.Load(dir.filePath(u"none.ini"_s)));
    EXPECT_FALSE(ini.Read(u"S"_s, u"A"_s));
    EXPECT_TRUE(ini.ToBytes().isEmpty());

    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.ini"_s));
    EXPECT_FALSE(ini.Load(dir.filePath(u"folder.ini"_s)));
}

// A file written once and then edited by hand: every line that is not the changed key must
// come back byte for byte, including bytes that are not valid UTF-8.
TEST_F(IniFileTest, WriteChangesOnlyItsLine)
{
    const QByteArray before = "; written by hand\r\n"
                              "[Settings]\r\n"
                              "  CoderIndex =  1 \r\n"
                              "Unknown=\xFF\xFE odd\r\n"
                              "\r\n"
                              "; next section\r\n"
                              "[Other]\r\n"
                              "CoderIndex=9\r\n";
    CIniFile ini = Loaded(before);

    ASSERT_TRUE(ini.Write(u"settings"_s, u"coderindex"_s, u"1"_s));
    EXPECT_FALSE(ini.IsModified()) << "an unchanged value keeps its line as written";
    EXPECT_EQ(ini.ToBytes(), before);

    ASSERT_TRUE(ini.Write(u"settings"_s, u"coderindex"_s, u"7"_s));
    EXPECT_TRUE(ini.IsModified());
    QByteArray expected = before;
    expected.replace("  CoderIndex =  1 \r\n", "CoderIndex=7\r\n");
    EXPECT_EQ(ini.ToBytes(), expected);
}

TEST_F(IniFileTest, NewKeysAndSectionsGoAtTheEnd)
{
    struct Case
    {
        const char* what;
        QByteArray before;
        QString section;
        QByteArray after;
    };
    const Case cases[] = {
        {"after the section's last key, before comments that lead on",
         "[S]\r\nA=1\r\n\r\n; about T\r\n[T]\r\nX=1\r\n", u"S"_s,
         "[S]\r\nA=1\r\nNew=v\r\n\r\n; about T\r\n[T]\r\nX=1\r\n"},
        {"right after the header of an empty section", "[S]\n; c\n[T]\n", u"S"_s,
         "[S]\nNew=v\n; c\n[T]\n"},
        {"into the last section", "[S]\nA=1\n", u"S"_s, "[S]\nA=1\nNew=v\n"},
        {"after a last line without a line end", "[S]\r\nA=1", u"S"_s, "[S]\r\nA=1\r\nNew=v\r\n"},
        {"new section at the end, LF kept", "[S]\nA=1\n", u"T"_s, "[S]\nA=1\n[T]\nNew=v\n"},
        {"new section after a last line without a line end", "[S]\r\nA=1", u"T"_s,
         "[S]\r\nA=1\r\n[T]\r\nNew=v\r\n"},
        {"new file uses CR LF", "", u"T"_s, "[T]\r\nNew=v\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[S]\n", u"S"_s, "\xEF\xBB\xBF[S]\nNew=v\n"},
    };
    for (const Case& c : cases) {
        CIniFile ini = Loaded(c.before);
        ASSERT_TRUE(ini.Write(c.section, u"New"_s, u"v"_s)) << c.what;
        EXPECT_EQ(ini.ToBytes(), c.after) << c.what;
    }
}

TEST_F(IniFileTest, WrittenValuesReadBackAsWritten)
{
    const QString values[] = {u"plain"_s,          u"  padded  "_s, u"\"quoted\""_s,
                              u"'single'"_s,       u"\"half"_s,     u"a=b;c#d"_s,
                              u"Grüße/Ωmega/音"_s, QString(),       u"C:\\"_s};
    CIniFile ini;
    ASSERT_TRUE(ini.Load(Path()));
    for (const QString& value : values)
        ASSERT_TRUE(ini.Write(u"S"_s, u"Key"_s, value));
    int i = 0;
    for (const QString& value : values)
        ASSERT_TRUE(ini.Write(u"S"_s, u"Key"_s + QString::number(i++), value));
    ASSERT_TRUE(ini.Save(Path()));

    CIniFile reread;
    ASSERT_TRUE(reread.Load(Path()));
    i = 0;
    for (const QString& value : values)
        EXPECT_EQ(reread.Read(u"s"_s, u"key"_s + QString::number(i++)), value);

    // A key opening its line with U+FEFF keeps it (found by fuzzing).
    ASSERT_TRUE(reread.Write(u"S"_s, u"\uFEFFMark"_s, u"x"_s));
    ASSERT_TRUE(reread.Save(Path()));
    ASSERT_TRUE(ini.Load(Path()));
    EXPECT_EQ(ini.Read(u"S"_s, u"\uFEFFMark"_s), u"x"_s);
}

TEST_F(IniFileTest, RefusesWhatCouldNotBeReadBack)
{
    CIniFile ini = Loaded("[S]\r\nA=1\r\n");
    EXPECT_FALSE(ini.Write(u"S"_s, u"A"_s, u"two\r\nlines"_s));
    EXPECT_FALSE(ini.Write(u"S"_s, u"A"_s, u"line\nbreak"_s));
    EXPECT_FALSE(ini.Write(u"S"_s, u"A=B"_s, u"x"_s));
    EXPECT_FALSE(ini.Write(u"S"_s, u" A"_s, u"x"_s));
    EXPECT_FALSE(ini.Write(u"S"_s, u";A"_s, u"x"_s));
    EXPECT_FALSE(ini.Write(u"S"_s, QString(), u"x"_s));
    EXPECT_FALSE(ini.Write(u"S]"_s, u"A"_s, u"x"_s));
    EXPECT_FALSE(ini.Write(QString(), u"A"_s, u"x"_s));
    EXPECT_FALSE(ini.IsModified());
    EXPECT_EQ(ini.ToBytes(), QByteArray("[S]\r\nA=1\r\n"));
}

TEST_F(IniFileTest, FailedSaveKeepsThePreviousFile)
{
    CIniFile ini = Loaded("[S]\r\nA=1\r\n");
    ASSERT_TRUE(ini.Write(u"S"_s, u"A"_s, u"2"_s));
    QString error;
    EXPECT_FALSE(ini.Save(dir.filePath(u"missing/Settings.ini"_s), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(ini.IsModified());
    EXPECT_EQ(ReadBytes(Path()), QByteArray("[S]\r\nA=1\r\n"));

    ASSERT_TRUE(ini.Save(Path()));
    EXPECT_FALSE(ini.IsModified());
    EXPECT_EQ(ReadBytes(Path()), QByteArray("[S]\r\nA=2\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"Settings.ini"_s})
        << "no temporary file left behind";
}

} // namespace
