#pragma once

#include "planning/job_planning.h"

#include <QList>
#include <QString>
#include <QStringList>

class CListedFolders;

// Files that travel with a folder's results: its cover, and what the user's patterns name.
struct CompanionOptions
{
    bool covers = true;
    int pictureMaxSide = 0; // above 0: the cover becomes a baseline JPEG this small
    QString patterns;       // "*.log;*.pdf"; empty: nothing but the cover
    // Folders listed a moment ago, not listed again; null: each folder is listed.
    const CListedFolders* listed = nullptr;
};

// One file to carry from a source folder into a result folder.
struct CompanionCopy
{
    QString from;
    QString to;
    int maxSide = 0; // above 0: written shrunk (a cover), else copied as it is
};

// The name of the folder's cover among the names of its files (in listing order): the first
// "folder", "cover" or "front" picture (JPEG or PNG, any case), in that order of names; else
// the first picture of any name. Empty when the folder holds no picture.
QString PickCover(const QStringList& names);

// True when the name matches one of the ";"-separated wildcard patterns (any case).
bool MatchesCopyPatterns(const QString& name, const QString& patterns);

// What goes from sourceFolder into resultFolder: nothing when they are one folder. Audio that
// a decoder reads and hidden files never go along (they are sources, or not the user's to
// show). A shrunk cover is written as ".jpg".
QList<CompanionCopy> CompanionsOf(const QString& sourceFolder, const QString& resultFolder,
                                  const CompanionOptions& options, const PlannedDecoders& decoders);

// Every pair of a source's folder and its result's folder among the files, each once, in the
// files' order.
QList<QPair<QString, QString>> ResultFoldersOf(const QList<const CFileInfo*>& files);
