#include "settings/ini_file.h"

#include "foundation/path_helpers.h"
#include "foundation/whole_file_writer.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

bool IsQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool IsWrappedInQuotes(const QString& text)
{
    return text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front();
}

QString Unquoted(const QString& value)
{
    return IsWrappedInQuotes(value) ? value.mid(1, value.size() - 2) : value;
}

// A value that trimming or unquoting would change on the way back gets a pair of quotes,
// which the reader takes off again; everything else is written as it stands.
QString Encoded(const QString& value)
{
    if (value != value.trimmed() || IsWrappedInQuotes(value))
        return u'"' + value + u'"';
    return value;
}

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

bool IsUsableName(const QString& name)
{
    return !name.isEmpty() && name == name.trimmed() && !HasLineBreak(name);
}

} // namespace

void CIniFile::Parse(Line& line)
{
    line.kind = LineKind::Other;
    line.name.clear();
    line.value.clear();
    // Not QString::fromUtf8, which drops a U+FEFF opening a line (the file's own mark is
    // taken off before lines are split).
    const QString text = NarrowToWide(line.text).trimmed();
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        line.kind = LineKind::Section;
        line.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return;
    }
    if (text.startsWith(u';') || text.startsWith(u'#'))
        return;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return;
    line.name = text.left(equals).trimmed();
    if (line.name.isEmpty())
        return;
    line.kind = LineKind::Key;
    line.value = Unquoted(text.mid(equals + 1).trimmed());
}

bool CIniFile::Load(const QString& path)
{
    lines.clear();
    byteOrderMark = false;
    modified = false;

    QFile file(path);
    if (!file.exists())
        return true;
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;

    if (data.startsWith(kByteOrderMark)) {
        byteOrderMark = true;
        data.remove(0, kByteOrderMark.size());
    }
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype stop = start;
        while (stop < data.size() && data[stop] != '\r' && data[stop] != '\n')
            ++stop;
        Line line;
        line.text = data.mid(start, stop - start);
        qsizetype next = stop;
        if (next < data.size())
            next +=
                (data[next] == '\r' && next + 1 < data.size() && data[next + 1] == '\n') ? 2 : 1;
        line.end = data.mid(stop, next - stop);
        Parse(line);
        lines.push_back(std::move(line));
        start = next;
    }
    return true;
}

QByteArray CIniFile::ToBytes() const
{
    QByteArray data;
    if (byteOrderMark)
        data += kByteOrderMark;
    for (const Line& line : lines)
        data += line.text + line.end;
    return data;
}

bool CIniFile::Save(const QString& path, QString* errorText)
{
    if (!WriteWholeFile(path, ToBytes(), errorText))
        return false;
    modified = false;
    return true;
}

int CIniFile::FindSection(const QString& section) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section && line.name.compare(section, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int CIniFile::SectionEnd(int header) const
{
    size_t i = size_t(header) + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section)
        ++i;
    return int(i);
}

int CIniFile::FindKey(int header, const QString& key) const
{
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const Line& line = lines[size_t(i)];
        if (line.kind == LineKind::Key && line.name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> CIniFile::Read(const QString& section, const QString& key) const
{
    const int header = FindSection(section);
    if (header < 0)
        return std::nullopt;
    const int index = FindKey(header, key);
    if (index < 0)
        return std::nullopt;
    return lines[size_t(index)].value;
}

QByteArray CIniFile::DefaultLineEnd() const
{
    for (const Line& line : lines) {
        if (!line.end.isEmpty())
            return line.end;
    }
    return QByteArrayLiteral("\r\n");
}

// A line added after the last one must not run into it.
void CIniFile::EndLastLine()
{
    if (!lines.empty() && lines.back().end.isEmpty())
        lines.back().end = DefaultLineEnd();
}

bool CIniFile::Write(const QString& section, const QString& key, const QString& value)
{
    if (!IsUsableName(section) || section.contains(u']'))
        return false;
    if (!IsUsableName(key) || key.contains(u'=') || key.startsWith(u'[') || key.startsWith(u';') ||
        key.startsWith(u'#'))
        return false;
    if (HasLineBreak(value))
        return false;

    const int header = FindSection(section);
    const int existing = header < 0 ? -1 : FindKey(header, key);
    if (existing >= 0) {
        Line& line = lines[size_t(existing)];
        if (line.value == value)
            return true; // unchanged: keep the line exactly as it was written
        line.text = (line.name + u'=' + Encoded(value)).toUtf8();
        Parse(line);
        modified = true;
        return true;
    }

    Line line;
    line.text = (key + u'=' + Encoded(value)).toUtf8();
    line.end = DefaultLineEnd();
    Parse(line);
    if (header < 0) {
        Line head;
        head.text = (u'[' + section + u']').toUtf8();
        head.end = line.end;
        Parse(head);
        EndLastLine();
        lines.push_back(std::move(head));
        lines.push_back(std::move(line));
        modified = true;
        return true;
    }

    // After the section's last key, so comments and blank lines that lead into the next
    // section stay in front of it.
    int after = header;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (lines[size_t(i)].kind == LineKind::Key)
            after = i;
    }
    if (lines[size_t(after)].end.isEmpty())
        lines[size_t(after)].end = line.end;
    lines.insert(lines.begin() + after + 1, std::move(line));
    modified = true;
    return true;
}
