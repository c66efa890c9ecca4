#pragma once

#include <QString>
#include <vector>

// One command line of a known executable: a preset of a coder or an extension handler of a
// decoder, depending on `Type` ("Coding" or "Decoding"; anything else is never used).
struct CommandLineEntry
{
    QString CommandLine;
    QString Extension;
    QString Description;
    QString Type;
};

// One executable that "Base.xml" knows, recognised by the MD5 digest of its content or, as a
// fallback, by its bare file name.
struct ExecutableEntry
{
    QString Hash;
    QString FileName;
    QString FileSize;
    QString Date;
    QString Description;
    QString Type;
    QString Format;
    std::vector<CommandLineEntry> commandLines;
};

// The executables "Base.xml" describes, in document order. Loaded once at start-up and only
// read afterwards.
class ExecutableDatabase
{
public:
    QString Date;
    std::vector<ExecutableEntry> entries;

    int GetEntryCount() const { return static_cast<int>(entries.size()); }
    QString GetDate() const { return Date; }
    void Clear();
};

// Fills the database from an XML file. False, with the database left empty, when nothing
// exists at the path, when the file cannot be read, or when it is not a well-formed document
// with one document element: a half-read database would silently hide codecs.
bool LoadDatabase(ExecutableDatabase& database, const QString& path);

// MD5 of a file's content as 32 upper-case hexadecimal digits; empty when the file cannot be
// opened or read (the caller skips such an executable).
QString HashFile(const QString& path);

// The first entry, in document order, whose field equals the text exactly; null otherwise.
const ExecutableEntry* FindEntryByHash(const ExecutableDatabase& database, const QString& hash);
const ExecutableEntry* FindEntryByFileName(const ExecutableDatabase& database,
                                           const QString& fileName);
