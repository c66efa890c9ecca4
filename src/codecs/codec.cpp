#include "codecs/codec.h"

#include "foundation/path_helpers.h"
#include "foundation/text_file.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Reads lines of a paired file until one is not empty or the file ends. A read error ends
// the file: a damaged description file must not abort discovery.
QString ReadNonEmptyLine(CTextFileRead& file)
{
    QString line;
    try {
        while (line.isEmpty() && file.ReadLine(line)) {
        }
    } catch (const CTextFileException&) {
        line.clear();
    }
    return line;
}

bool ReadExtensionLine(CTextFileRead& file, QString& line)
{
    try {
        return file.ReadLine(line);
    } catch (const CTextFileException&) {
        return false;
    }
}

// Up to `count` narrow lines, widened; fewer when the file is shorter or cannot be read.
QStringList ReadNarrowLines(const QString& path, int count)
{
    QStringList lines;
    CTextFileRead file(path);
    try {
        QByteArray line;
        while (lines.size() < count && file.ReadLine(line)) {
            lines.append(NarrowToWide(line));
        }
    } catch (const CTextFileException&) {
    }
    return lines;
}

} // namespace

void ReadEntries(const QString& pairedPath, const QString& extensionsPath,
                 QList<CodecEntry>& entries, bool withNames)
{
    CTextFileRead extensionsFile(extensionsPath);
    CTextFileRead pairedFile(pairedPath);

    QString line;
    while (ReadExtensionLine(extensionsFile, line)) {
        const QString extension = TrimWhiteSpace(line);
        if (extension.isEmpty()) {
            continue;
        }
        CodecEntry entry;
        entry.extension = extension;
        if (withNames) {
            entry.name = ReadNonEmptyLine(pairedFile);
        }
        entry.commandLine = ReadNonEmptyLine(pairedFile);
        entries.append(entry);
    }
}

quint32 FileSize32(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return 0xFFFFFFFFu;
    }
    return static_cast<quint32>(static_cast<quint64>(info.size()) & 0xFFFFFFFFu);
}

bool CCoder::Load(const QString& executablePath)
{
    SetExecutable(executablePath);

    QString codecFolder = CleanedPath(executablePath);
    RemoveFileSpec(codecFolder);
    name = FileNamePart(codecFolder);
    folder = codecFolder;

    QString namePath = CleanedPath(executablePath);
    RemoveExtension(namePath);
    AddExtension(namePath, u".name"_s);
    if (PathExists(namePath)) {
        const QStringList lines = ReadNarrowLines(namePath, 1);
        name = lines.isEmpty() ? QString() : lines.first();
    }

    const QString infoPath = AppendPath(codecFolder, u"Info.txt"_s);
    if (PathExists(infoPath)) {
        const QStringList lines = ReadNarrowLines(infoPath, 3);
        description = lines.size() > 0 ? TrimWhiteSpace(lines[0]) : QString();
        format = lines.size() > 1 ? TrimWhiteSpace(lines[1]) : QString();
        date = lines.size() > 2 ? TrimWhiteSpace(lines[2]) : QString();
    }

    ReadEntries(AppendPath(codecFolder, u"Presets.ini"_s),
                AppendPath(codecFolder, u"Extensions.ini"_s), entries, true);
    fileSize = FileSize32(executablePath);
    return true;
}

bool CDecoder::Load(const QString& executablePath)
{
    SetExecutable(executablePath);

    QString codecFolder = CleanedPath(executablePath);
    RemoveFileSpec(codecFolder);
    name = FileNamePart(codecFolder);

    ReadEntries(AppendPath(codecFolder, u"Format.ini"_s),
                AppendPath(codecFolder, u"Extensions.ini"_s), entries, false);
    fileSize = FileSize32(executablePath);
    return true;
}
