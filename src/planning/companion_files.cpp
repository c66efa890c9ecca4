#include "planning/companion_files.h"

#include "codecs/codec_discovery.h"
#include "foundation/listed_folders.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "tags/picture_shrinker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool IsCoverPicture(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == u"jpg"_s || suffix == u"jpeg"_s || suffix == u"png"_s;
}

bool IsPicture(const QString& name)
{
    static const QSet<QString> kSuffixes = {u"jpg"_s, u"jpeg"_s, u"png"_s,
                                            u"gif"_s, u"bmp"_s,  u"webp"_s};
    return kSuffixes.contains(QFileInfo(name).suffix().toLower());
}

QString ShrunkName(const QString& name)
{
    const QFileInfo info(name);
    const QString suffix = info.suffix().toLower();
    if (suffix == u"jpg"_s || suffix == u"jpeg"_s)
        return name;
    return info.completeBaseName() + u".jpg"_s;
}

// The folder of a path, as QFileInfo::absolutePath gives it, without a look at the disk for
// the absolute paths a plan holds.
QString AbsoluteFolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(os::kPathSeparator);
    const bool dotted =
        path.contains(u"/."_s) && (path.contains(u"/./"_s) || path.contains(u"/../"_s));
    if (!path.startsWith(os::kPathSeparator) || dotted || slash < 0)
        return QFileInfo(path).absolutePath();
    return slash == 0 ? path.left(1) : path.left(slash);
}

} // namespace

QString PickCover(const QStringList& names)
{
    for (const QString& stem : {u"folder"_s, u"cover"_s, u"front"_s}) {
        for (const QString& name : names) {
            if (QFileInfo(name).completeBaseName().compare(stem, Qt::CaseInsensitive) == 0 &&
                IsCoverPicture(name))
                return name;
        }
    }
    for (const QString& name : names) {
        if (IsPicture(name))
            return name;
    }
    return {};
}

bool MatchesCopyPatterns(const QString& name, const QString& patterns)
{
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty())
            continue;
        const QRegularExpression wildcard =
            QRegularExpression::fromWildcard(trimmed, Qt::CaseInsensitive);
        if (wildcard.match(name).hasMatch())
            return true;
    }
    return false;
}

QList<CompanionCopy> CompanionsOf(const QString& sourceFolder, const QString& resultFolder,
                                  const CompanionOptions& options, const PlannedDecoders& decoders)
{
    if (!options.covers && options.patterns.trimmed().isEmpty())
        return {};
    // Only the names that may go along are looked at: a folder of music is listed, no more.
    QStringList names;
    const QList<QByteArray> listedNames =
        options.listed ? options.listed->NamesIn(sourceFolder) : os::FolderNames(sourceFolder);
    for (const QByteArray& listed : listedNames) {
        const QString name = QFile::decodeName(listed);
        if (name.startsWith(u'.') ||
            !((options.covers && IsPicture(name)) || MatchesCopyPatterns(name, options.patterns)))
            continue;
        const QString path = QDir(sourceFolder).filePath(name);
        if (QFileInfo(path).isFile() && !IsReadableSource(path, decoders))
            names << name;
    }
    std::sort(names.begin(), names.end(), LessInListingOrder);
    if (names.isEmpty() ||
        IsSameFile(QDir(sourceFolder).absolutePath(), QDir(resultFolder).absolutePath()))
        return {};
    QList<CompanionCopy> copies;
    const QString cover = options.covers ? PickCover(names) : QString();
    // Without a shrinker the cover goes as it is, under its own name.
    const int maxSide = PictureShrinker() ? options.pictureMaxSide : 0;
    if (!cover.isEmpty()) {
        const QString name = maxSide > 0 ? ShrunkName(cover) : cover;
        copies.append(
            {QDir(sourceFolder).filePath(cover), QDir(resultFolder).filePath(name), maxSide});
    }
    for (const QString& name : std::as_const(names)) {
        if (name != cover && MatchesCopyPatterns(name, options.patterns))
            copies.append(
                {QDir(sourceFolder).filePath(name), QDir(resultFolder).filePath(name), 0});
    }
    return copies;
}

QList<QPair<QString, QString>> ResultFoldersOf(const QList<const CFileInfo*>& files)
{
    QList<QPair<QString, QString>> pairs;
    QSet<QPair<QString, QString>> seen;
    const auto folderPart = [](const QString& path) {
        return QStringView(path).left(std::max<qsizetype>(path.lastIndexOf(u'/'), 0));
    };
    // A folder's files come one after another: the file before says most of them.
    QString lastSource;
    QString lastResult;
    for (const CFileInfo* file : files) {
        const QString result = file->PlannedResult();
        if (result.isEmpty())
            continue;
        if (!lastSource.isEmpty() && folderPart(file->path) == folderPart(lastSource) &&
            folderPart(result) == folderPart(lastResult))
            continue;
        lastSource = file->path;
        lastResult = result;
        const QPair<QString, QString> pair{AbsoluteFolderOf(file->path), AbsoluteFolderOf(result)};
        if (seen.contains(pair))
            continue;
        seen.insert(pair);
        pairs.append(pair);
    }
    return pairs;
}
