#include "planning/output_tree.h"

#include "foundation/path_helpers.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The components of a file's cleaned folder; an absolute path starts with an empty one.
QStringList FolderComponents(const QString& filePath)
{
    QString folder = CleanedPath(filePath);
    RemoveFileSpec(folder);
    return QDir::fromNativeSeparators(folder).split(u'/', Qt::SkipEmptyParts);
}

QString JoinFolder(const QStringList& components)
{
    QString folder = u"/"_s + components.join(u'/');
    AddBackslash(folder);
    return QDir::toNativeSeparators(folder);
}

} // namespace

QString DeepestCommonFolder(const QStringList& filePaths)
{
    if (filePaths.isEmpty())
        return {};
    QStringList common = FolderComponents(filePaths.first());
    for (const QString& path : filePaths) {
        const QStringList components = FolderComponents(path);
        qsizetype shared = 0;
        while (shared < common.size() && shared < components.size() &&
               common[shared] == components[shared])
            ++shared;
        common = common.mid(0, shared);
    }
    return JoinFolder(common);
}

QString MirroredOutputFolder(const QString& outputFolder, const QString& commonFolder,
                             const QString& sourceFolder)
{
    QString source = CleanedPath(sourceFolder);
    AddBackslash(source);
    QString folder = outputFolder;
    if (source.startsWith(commonFolder))
        folder = AppendPath(outputFolder, source.mid(commonFolder.size()));
    AddBackslash(folder);
    return folder;
}

QString ResultFolderOf(const QString& outputFolder, const QString& commonFolder,
                       const QString& sourceFolder, const CNamePattern& pattern)
{
    if (outputFolder.isEmpty() || commonFolder.isEmpty() || pattern.MakesFolders())
        return outputFolder;
    return MirroredOutputFolder(outputFolder, commonFolder, sourceFolder);
}

bool CreateOutputFolders(const QList<CFileInfo*>& files, QString* failedFolder)
{
    for (const CFileInfo* file : files) {
        // A track decoded only is cut to its result from the image's WAV, which its decoder
        // writes elsewhere.
        const QString outputs[] = {file->coder ? file->coder->GetOutputFile() : QString(),
                                   file->decoder ? file->decoder->GetOutputFile() : QString(),
                                   file->PlannedResult()};
        for (const QString& output : outputs) {
            if (output.isEmpty())
                continue;
            QString folder = CleanedPath(output);
            RemoveFileSpec(folder);
            if (!folder.isEmpty() && !QDir().mkpath(folder)) {
                if (failedFolder)
                    *failedFolder = folder;
                return false;
            }
        }
    }
    return true;
}

bool CanMakeFolder(const QString& folder)
{
    QString existing = CleanedPath(folder);
    if (QFileInfo::exists(existing))
        return QFileInfo(existing).isDir();
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return false;
        existing = parent;
    }
    const QFileInfo ancestor(existing);
    return ancestor.isDir() && ancestor.isWritable() && ancestor.isExecutable();
}

QStringList TreeRootsOf(const QStringList& filePaths, const QString& libraryFolder)
{
    QString library = libraryFolder.isEmpty() ? QString() : CleanedPath(libraryFolder);
    if (!library.isEmpty())
        AddBackslash(library);
    QStringList outside;
    for (const QString& path : filePaths) {
        if (library.isEmpty() || !CleanedPath(path).startsWith(library))
            outside << path;
    }
    const QString common = DeepestCommonFolder(outside);
    QStringList roots;
    roots.reserve(filePaths.size());
    for (const QString& path : filePaths) {
        const bool inside = !library.isEmpty() && CleanedPath(path).startsWith(library);
        roots << (inside ? library : common);
    }
    return roots;
}
