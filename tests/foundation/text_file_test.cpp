#include "foundation/text_file.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class TextFileTest : public ::testing::Test
{
protected:
    QString WriteBytes(const QByteArray& bytes)
    {
        const QString path = folder.filePath(u"f%1.txt"_s.arg(++count));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    }

    static QStringList ReadAllWide(const QString& path)
    {
        CTextFileRead reader(path);
        QStringList lines;
        QString line;
        while (reader.ReadLine(line))
            lines.append(line);
        return lines;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile in(path);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }

    QTemporaryDir folder;
    int count = 0;
};

struct LineCase
{
    const char* name;
    QByteArray bytes;
    QStringList lines;
    TextEncoding encoding;
};

TEST_F(TextFileTest, SplitsLinesAndDetectsTheEncoding)
{
    const QChar replacement = QChar::ReplacementCharacter;
    const QList<LineCase> cases = {
        {"empty file", QByteArray(), {u""_s}, TextEncoding::Ansi},
        {"only a UTF-8 mark", QByteArray("\xEF\xBB\xBF"), {u""_s}, TextEncoding::Utf8},
        {"only a UTF-16 mark", QByteArray("\xFF\xFE"), {u""_s}, TextEncoding::Utf16LittleEndian},
        {"CR LF", QByteArray("a\r\nb"), {u"a"_s, u"b"_s}, TextEncoding::Ansi},
        {"CR CR", QByteArray("a\r\rb"), {u"a"_s, u""_s, u"b"_s}, TextEncoding::Ansi},
        {"LF CR", QByteArray("a\n\rb"), {u"a"_s, u""_s, u"b"_s}, TextEncoding::Ansi},
        {"lone LF", QByteArray("a\nb\n"), {u"a"_s, u"b"_s, u""_s}, TextEncoding::Ansi},
        {"final CR LF", QByteArray("x\r\n"), {u"x"_s, u""_s}, TextEncoding::Ansi},
        {"no final terminator", QByteArray("x\r\nlast"), {u"x"_s, u"last"_s}, TextEncoding::Ansi},
        {"half a UTF-8 mark",
         QByteArray("\xEF\xBB\x41"),
         {QString::fromUtf8("\xEF\xBB\x41")},
         TextEncoding::Ansi},
        {"UTF-8 with a mark",
         QByteArray("\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F\r\n\xE2\x82\xAC"),
         {u"grüß"_s, u"€"_s},
         TextEncoding::Utf8},
        {"UTF-8 four-byte sequence",
         QByteArray("\xEF\xBB\xBF"
                    "a\xF0\x9F\x98\x80"
                    "b"),
         {u"a"_s + QString(4, replacement) + u"b"_s},
         TextEncoding::Utf8},
        {"UTF-8 stray continuation",
         QByteArray("\xEF\xBB\xBF\x80z"),
         {QString(replacement) + u"z"_s},
         TextEncoding::Utf8},
        {"UTF-16 little endian",
         QByteArray("\xFF\xFE"
                    "a\0\r\0\n\0\xAC\x20",
                    10),
         {u"a"_s, u"€"_s},
         TextEncoding::Utf16LittleEndian},
        {"UTF-16 big endian",
         QByteArray("\xFE\xFF\0a\0\n\x20\xAC", 8),
         {u"a"_s, u"€"_s},
         TextEncoding::Utf16BigEndian},
        {"UTF-16 surrogate pair",
         QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6),
         {u"\U0001F600"_s},
         TextEncoding::Utf16LittleEndian},
        {"plain UTF-8 without a mark",
         QByteArray("d\xC3\xA9j\xC3\xA0"),
         {u"déjà"_s},
         TextEncoding::Ansi},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WriteBytes(c.bytes);
        CTextFileRead reader(path);
        EXPECT_EQ(reader.GetEncoding(), c.encoding);
        reader.Close();
        EXPECT_EQ(ReadAllWide(path), c.lines);
    }
}

TEST_F(TextFileTest, AnsiBytesComeBackUnchangedThroughTheNarrowForm)
{
    const QByteArray bytes("\xEF\xBB\x41\xFF\x01");
    CTextFileRead reader(WriteBytes(bytes));
    QByteArray line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, bytes);
    EXPECT_FALSE(reader.ReadLine(line));
}

TEST_F(TextFileTest, NarrowFormOfUtf16ReplacesWhatTheNarrowEncodingCannotHold)
{
    // "a", an unpaired high surrogate, "b"; then a line the narrow form holds fully.
    CTextFileRead reader(WriteBytes(QByteArray("\xFF\xFE"
                                               "a\0\x3D\xD8"
                                               "b\0\n\0\xAC\x20",
                                               12)));
    QByteArray line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, QByteArray("a\xEF\xBF\xBD"
                               "b"));
    EXPECT_TRUE(reader.IsDataLost());
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, QByteArray("\xE2\x82\xAC"));
    EXPECT_TRUE(reader.IsDataLost()) << "the flag is never cleared";
}

TEST_F(TextFileTest, LongLinesAcrossBufferBoundariesComeBackWhole)
{
    QByteArray bytes;
    QString first(5000, u'x');
    first[1022] = u'y';
    first[1023] = u'z';
    first[4999] = u'w';
    bytes += first.toLatin1() + "\r\n";
    // A multi-byte character straddling the end of the first buffer of a UTF-8 file.
    QByteArray utf8("\xEF\xBB\xBF");
    utf8 += QByteArray(1020, 'a') + "\xC3\xA9" + "b\r\nnext";
    const QStringList expectedUtf8 = {QString(1020, u'a') + u"éb"_s, u"next"_s};

    EXPECT_EQ(ReadAllWide(WriteBytes(bytes)), (QStringList{first, u""_s}));
    EXPECT_EQ(ReadAllWide(WriteBytes(utf8)), expectedUtf8);
    QByteArray exact(1024, 'q');
    EXPECT_EQ(ReadAllWide(WriteBytes(exact)), QStringList{QString(1024, u'q')});
}

TEST_F(TextFileTest, MissingFileReadsAsNothingWithoutAnException)
{
    CTextFileRead reader(folder.filePath(u"absent.txt"_s));
    EXPECT_FALSE(reader.IsOpen());
    QString line;
    EXPECT_FALSE(reader.ReadLine(line));
    QByteArray bytes;
    EXPECT_FALSE(reader.ReadLine(bytes));
}

TEST_F(TextFileTest, FailedReadRaisesTheSystemError)
{
    // Reading this process's memory at offset 0 fails with EIO: the read after a good open.
    try {
        CTextFileRead reader(u"/proc/self/mem"_s);
        FAIL() << "no exception";
    } catch (const CTextFileException& e) {
        EXPECT_EQ(e.GetErrorCode(), quint32(EIO));
    }
}

TEST_F(TextFileTest, WriterWritesNarrowTextWithCrLfAndNoMark)
{
    const QString path = folder.filePath(u"out.txt"_s);
    {
        CTextFileWrite writer(path);
        ASSERT_TRUE(writer.IsOpen());
        EXPECT_EQ(writer.GetEncoding(), TextEncoding::Ansi);
        writer.Write(u"x"_s);
        writer.WriteEndLine();
        writer.Write(QString());
        writer.Write(u"y"_s);
        writer.WriteEndLine();
    }
    EXPECT_EQ(ReadFile(path), QByteArray("x\r\ny\r\n"));
}

TEST_F(TextFileTest, WriterGoesThroughTheBufferInFullBlocks)
{
    const QString path = folder.filePath(u"big.txt"_s);
    QString text;
    for (int i = 0; i < 3000; ++i)
        text += QChar(u'a' + i % 26);
    CTextFileWrite writer(path);
    writer.Write(text.mid(0, 1000));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    writer.Write(text.mid(1000, 1000));
    EXPECT_EQ(QFileInfo(path).size(), 1024);
    writer.Write(text.mid(2000, 1000));
    EXPECT_EQ(QFileInfo(path).size(), 2048);
    writer.Close();
    EXPECT_EQ(ReadFile(path), text.toLatin1());
    writer.Close(); // a second close is harmless
}

TEST_F(TextFileTest, WriterFlagsTextItCannotEncodeAndRoundTripsTheRest)
{
    const QString path = folder.filePath(u"round.txt"_s);
    const QStringList lines = {u"Ärger €"_s, u"日本語 \U0001F600"_s, u""_s, u"end"_s};
    CTextFileWrite writer(path);
    for (const QString& line : lines) {
        writer.Write(line);
        writer.WriteEndLine();
    }
    EXPECT_FALSE(writer.IsDataLost());
    writer.Write(QString(QChar(0xD800)));
    EXPECT_TRUE(writer.IsDataLost());
    writer.Close();
    EXPECT_EQ(ReadAllWide(path), lines + QStringList{QString(QChar::ReplacementCharacter)});
}

TEST_F(TextFileTest, FailedWriteRaisesTheSystemError)
{
    CTextFileWrite writer(u"/dev/full"_s);
    ASSERT_TRUE(writer.IsOpen());
    writer.Write(u"short"_s);
    try {
        writer.Flush();
        FAIL() << "no exception";
    } catch (const CTextFileException& e) {
        EXPECT_EQ(e.GetErrorCode(), quint32(ENOSPC));
    }
    EXPECT_FALSE(writer.IsOpen());
}

TEST_F(TextFileTest, WriterOnAFileThatCannotBeCreatedDropsTheText)
{
    CTextFileWrite writer(folder.filePath(u"no/such/folder/x.txt"_s));
    EXPECT_FALSE(writer.IsOpen());
    writer.Write(QString(3000, u'z'));
    writer.Flush();
    writer.Close();
}

} // namespace
