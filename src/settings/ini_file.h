#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// An INI file held as the lines it was read from, so that changing one key rewrites only that
// key's line and everything else (comments, unknown keys and sections, blank lines, odd
// spacing, the line ends) is written back byte for byte.
//
// Reading follows the usual profile rules: section and key names match case-insensitively,
// names and values are trimmed, a value wrapped in matching double or single quotes reads
// without them, the first of duplicate sections or keys wins, and lines without "=" (or
// starting with ";" or "#") are comments. Text is UTF-8; a byte-order mark is kept.
class CIniFile
{
public:
    // Reads the file. A missing file reads as empty and succeeds; a file that exists but
    // cannot be read fails and leaves the document empty.
    bool Load(const QString& path);

    // Writes the whole document in one go through a temporary file renamed into place, so
    // the previous file stays intact when anything goes wrong. errorText gets the reason.
    // A successful save clears IsModified.
    bool Save(const QString& path, QString* errorText = nullptr);

    // The value of a key, or nothing when the section or the key is missing.
    std::optional<QString> Read(const QString& section, const QString& key) const;

    // Sets a key: in place when it exists, at the end of its section when it does not, in a
    // new section at the end of the file when the section is missing. Fails (and changes
    // nothing) for names or values that could not be read back: empty or padded names, names
    // holding "=", "]" or a line break, values holding a line break.
    bool Write(const QString& section, const QString& key, const QString& value);

    // True when a Write changed the document since it was loaded or saved.
    bool IsModified() const { return modified; }

    // The document as it would be written.
    QByteArray ToBytes() const;

private:
    enum class LineKind
    {
        Other,
        Section,
        Key
    };

    struct Line
    {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one
        LineKind kind = LineKind::Other;
        QString name;  // section or key name, trimmed
        QString value; // key value, trimmed and unquoted
    };

    static void Parse(Line& line);
    int FindSection(const QString& section) const;
    int SectionEnd(int header) const;
    int FindKey(int header, const QString& key) const;
    QByteArray DefaultLineEnd() const;
    void EndLastLine();

    std::vector<Line> lines;
    bool byteOrderMark = false;
    bool modified = false;
};
