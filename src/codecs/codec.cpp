#include "codecs/codec.h"

#include "foundation/path_helpers.h"
#include "foundation/text_file.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Reads lines of a paired file until one is not empty or the file ends.
QString ReadNonEmptyLine(CTextFileRead& file)
{
    QString line;
    while (line.isEmpty() && file.ReadLine(line)) {
    }
    return line;
}

// Up to `count` narrow lines, widened; fewer when the file is shorter or cannot be opened.
QStringList ReadNarrowLines(const QString& path, int count)
{
    QStringList lines;
    CTextFileRead file(path);
    QByteArray line;
    while (lines.size() < count && file.ReadLine(line)) {
        lines.append(NarrowToWide(line));
    }
    return lines;
}

void LoadCoder(CCoder& coder, const QString& executablePath)
{
    coder.SetExecutable(executablePath);

    QString codecFolder = CleanedPath(executablePath);
    RemoveFileSpec(codecFolder);
    coder.name = FileNamePart(codecFolder);
    coder.folder = codecFolder;

    QString namePath = CleanedPath(executablePath);
    RemoveExtension(namePath);
    AddExtension(namePath, u".name"_s);
    if (PathExists(namePath)) {
        const QStringList lines = ReadNarrowLines(namePath, 1);
        coder.name = lines.isEmpty() ? QString() : lines.first();
    }

    const QString infoPath = AppendPath(codecFolder, u"Info.txt"_s);
    if (PathExists(infoPath)) {
        const QStringList lines = ReadNarrowLines(infoPath, 4);
        coder.description = lines.size() > 0 ? TrimWhiteSpace(lines[0]) : QString();
        coder.format = lines.size() > 1 ? TrimWhiteSpace(lines[1]) : QString();
        coder.date = lines.size() > 2 ? TrimWhiteSpace(lines[2]) : QString();
        // A fourth line "lossless" says its results hold the samples it read, and can be
        // proven to.
        coder.lossless = lines.size() > 3 &&
                         TrimWhiteSpace(lines[3]).compare(u"lossless"_s, Qt::CaseInsensitive) == 0;
    }

    ReadEntries(AppendPath(codecFolder, u"Presets.ini"_s),
                AppendPath(codecFolder, u"Extensions.ini"_s), coder.GetEntries(), true);
    coder.inputs = ReadExtensionLines(AppendPath(codecFolder, u"Inputs.ini"_s));
    coder.fileSize = FileSize32(executablePath);
}

void LoadDecoder(CDecoder& decoder, const QString& executablePath)
{
    decoder.SetExecutable(executablePath);

    QString codecFolder = CleanedPath(executablePath);
    RemoveFileSpec(codecFolder);
    decoder.name = FileNamePart(codecFolder);

    ReadEntries(AppendPath(codecFolder, u"Format.ini"_s),
                AppendPath(codecFolder, u"Extensions.ini"_s), decoder.GetEntries(), false);
    decoder.fileSize = FileSize32(executablePath);
}

} // namespace

void ReadEntries(const QString& pairedPath, const QString& extensionsPath,
                 QList<CodecEntry>& entries, bool withNames)
{
    CTextFileRead extensionsFile(extensionsPath);
    CTextFileRead pairedFile(pairedPath);

    QString line;
    while (extensionsFile.ReadLine(line)) {
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

QStringList ReadExtensionLines(const QString& path)
{
    QStringList extensions;
    CTextFileRead file(path);
    QString line;
    while (file.ReadLine(line)) {
        const QString extension = TrimWhiteSpace(line).toLower();
        if (!extension.isEmpty()) {
            extensions.append(extension);
        }
    }
    return extensions;
}

quint32 FileSize32(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return 0xFFFFFFFFu;
    }
    return static_cast<quint32>(static_cast<quint64>(info.size()) & 0xFFFFFFFFu);
}

// A description file that cannot be read (an I/O error, not a missing file) makes this one
// codec unusable; discovery goes on with the others.
bool CCoder::Load(const QString& executablePath)
{
    try {
        LoadCoder(*this, executablePath);
    } catch (const CTextFileException&) {
        return false;
    }
    return true;
}

bool CDecoder::Load(const QString& executablePath)
{
    try {
        LoadDecoder(*this, executablePath);
    } catch (const CTextFileException&) {
        return false;
    }
    return true;
}
