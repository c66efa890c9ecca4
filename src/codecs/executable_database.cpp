#include "codecs/executable_database.h"

#include "foundation/path_helpers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kHashBlockSize = 16384;

// Element depths that carry meaning; deeper elements are ignored.
constexpr int kDocumentLevel = 1;
constexpr int kExecutableLevel = 2;
constexpr int kCommandLineLevel = 3;

QString Attribute(const QXmlStreamReader& reader, QLatin1StringView name)
{
    return reader.attributes().value(name).toString();
}

ExecutableEntry ReadExecutable(const QXmlStreamReader& reader)
{
    ExecutableEntry entry;
    entry.Hash = Attribute(reader, "Hash"_L1);
    entry.FileName = Attribute(reader, "FileName"_L1);
    entry.FileSize = Attribute(reader, "FileSize"_L1);
    entry.Date = Attribute(reader, "Date"_L1);
    entry.Description = Attribute(reader, "Description"_L1);
    entry.Type = Attribute(reader, "Type"_L1);
    entry.Format = Attribute(reader, "Format"_L1);
    return entry;
}

CommandLineEntry ReadCommandLine(const QXmlStreamReader& reader)
{
    CommandLineEntry commandLine;
    commandLine.CommandLine = Attribute(reader, "CommandLine"_L1);
    commandLine.Extension = Attribute(reader, "Extension"_L1);
    commandLine.Description = Attribute(reader, "Description"_L1);
    commandLine.Type = Attribute(reader, "Type"_L1);
    return commandLine;
}

void StartElement(const QXmlStreamReader& reader, int depth, ExecutableDatabase& database)
{
    switch (depth) {
    case kDocumentLevel:
        database.Date = Attribute(reader, "Date"_L1);
        break;
    case kExecutableLevel:
        database.entries.push_back(ReadExecutable(reader));
        break;
    case kCommandLineLevel:
        database.entries.back().commandLines.push_back(ReadCommandLine(reader));
        break;
    default:
        break;
    }
}

// Reads the whole document; text is ignored, and comments and processing instructions count
// only inside an executable element, where they stand for empty command lines.
bool ParseDocument(QXmlStreamReader& reader, ExecutableDatabase& database)
{
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            StartElement(reader, depth, database);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            if (depth == kExecutableLevel) {
                database.entries.back().commandLines.push_back(CommandLineEntry());
            }
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

const ExecutableEntry* FindFirst(const ExecutableDatabase& database, const QString& text,
                                 QString ExecutableEntry::*field)
{
    for (const ExecutableEntry& entry : database.entries) {
        if (entry.*field == text) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

void ExecutableDatabase::Clear()
{
    Date.clear();
    entries.clear();
}

bool LoadDatabase(ExecutableDatabase& database, const QString& path)
{
    database.Clear();
    if (!PathExists(path)) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QXmlStreamReader reader(&file);
    ExecutableDatabase loaded;
    if (!ParseDocument(reader, loaded)) {
        return false;
    }
    database = std::move(loaded);
    return true;
}

QString HashFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(kHashBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), kHashBlockSize);
        if (got < 0) {
            return {};
        }
        hash.addData(QByteArrayView(block.constData(), got));
        if (got < kHashBlockSize) {
            break;
        }
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

const ExecutableEntry* FindEntryByHash(const ExecutableDatabase& database, const QString& hash)
{
    return FindFirst(database, hash, &ExecutableEntry::Hash);
}

const ExecutableEntry* FindEntryByFileName(const ExecutableDatabase& database,
                                           const QString& fileName)
{
    return FindFirst(database, fileName, &ExecutableEntry::FileName);
}
