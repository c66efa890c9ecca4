// The line reader on any bytes (ANSI, UTF-8, UTF-16 big and little endian by their marks):
// both line forms read the same number of lines, and lines read back after the writer wrote
// them are the lines written.
#include "foundation/text_file.h"
#include "fuzz_support.h"

namespace {

template <typename Line> QList<Line> ReadAll(const QString& path, TextEncoding* encoding = nullptr)
{
    QList<Line> lines;
    try {
        CTextFileRead reader(path);
        Line line;
        while (reader.ReadLine(line))
            lines.append(line);
        if (encoding != nullptr)
            *encoding = reader.GetEncoding();
    } catch (const CTextFileException&) {
        FuzzFail("a readable file failed to read", path);
    }
    return lines;
}

// The writer writes UTF-8, which the reader decodes up to three bytes a character.
bool Writable(const QString& line)
{
    for (const QChar c : line) {
        if (c.isSurrogate() || c == u'\r' || c == u'\n' || c == QChar(0))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = WriteFuzzFile("text.txt", data, size);
    TextEncoding encoding = TextEncoding::Ansi;
    const QList<QString> lines = ReadAll<QString>(path, &encoding);
    const QList<QByteArray> narrowLines = ReadAll<QByteArray>(path);
    if (lines.size() != narrowLines.size())
        FuzzFail("the two line forms disagree on the line count");

    QList<QString> written;
    for (const QString& line : lines) {
        // U+FEFF opening the file is the UTF-8 mark; nowhere else is it special.
        const bool readAsMark = written.isEmpty() && line.startsWith(QChar(0xFEFF));
        if (Writable(line) && !readAsMark)
            written.append(line);
    }
    const QString copy = FuzzFile("copy.txt");
    try {
        CTextFileWrite writer(copy);
        for (const QString& line : written) {
            writer.Write(line);
            writer.WriteEndLine();
        }
        writer.Close();
    } catch (const CTextFileException&) {
        FuzzFail("writing the copy failed", copy);
    }
    const QList<QString> back = ReadAll<QString>(copy);
    if (back.mid(0, written.size()) != written)
        FuzzFail("lines changed on their way through the writer",
                 written.join(u'|') + u" -> "_s + back.join(u'|'));
    for (qsizetype i = written.size(); i < back.size(); ++i) {
        if (!back[i].isEmpty())
            FuzzFail("the writer added text", back[i]);
    }
    return 0;
}
