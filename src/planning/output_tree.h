#pragma once

#include "planning/file_info.h"
#include "planning/name_pattern.h"

#include <QList>
#include <QString>
#include <QStringList>

// Results written below an output folder in the same tree as their sources.

// The deepest folder that holds every one of the files, with a trailing separator; "/" for
// files on different trees, empty for no files.
QString DeepestCommonFolder(const QStringList& filePaths);

// The output folder of a source in sourceFolder: outputFolder followed by the path of
// sourceFolder below commonFolder, with a trailing separator.
QString MirroredOutputFolder(const QString& outputFolder, const QString& commonFolder,
                             const QString& sourceFolder);

// The folder a result goes to: outputFolder; with commonFolder (the folder structure kept),
// the source's place below it repeated under outputFolder. A name pattern that makes folders
// takes the place of the kept structure, or each result would nest in both.
QString ResultFolderOf(const QString& outputFolder, const QString& commonFolder,
                       const QString& sourceFolder, const CNamePattern& pattern);

// Creates the folders the planned results go to where they are missing. False, with the
// first folder that could not be made, when one fails.
bool CreateOutputFolders(const QList<CFileInfo*>& files, QString* failedFolder = nullptr);

// True when the folder exists or can be made: its nearest existing ancestor is a folder that
// we may write to.
bool CanMakeFolder(const QString& folder);

// The folder below which each file keeps its place, one per path: libraryFolder (a folder the
// user names as the library's root) for the files inside it, so the same library always makes
// the same tree; the deepest common folder of the other files for those. An empty
// libraryFolder: the common folder of all.
QStringList TreeRootsOf(const QStringList& filePaths, const QString& libraryFolder);
