#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class CListedFolders;

// What a walk below a folder found: the files to read, and every entry it had to pass by,
// with the reason, so that nothing below the folder is dropped without a word.
struct FolderWalk
{
    struct Passed
    {
        QString path; // invalid UTF-8 bytes in a name shown as \xNN
        QString reason;
    };

    // Regular files and links to them: breadth-first, each level in listing order.
    QStringList files;
    // Entries that could not be read or named: unreadable files and folders, names that are
    // not UTF-8, paths past the system's limit, special files, dangling links, links to folders.
    QList<Passed> notRead;
    // Folders whose names start with ".": not read, by rule (caches, trash, thumbnails).
    QStringList hiddenFolders;
};

// Walks every folder below `folder` (never through a link to a folder, so a link loop cannot
// trap it); the folders of a level are listed on two threads where there are many.
// keepListing, when given, is asked on the calling thread before each few folders are listed;
// false ends the walk with what was found so far. Each folder listed is kept in `listed` when
// given.
FolderWalk WalkFolder(const QString& folder, const std::function<bool()>& keepListing = {},
                      CListedFolders* listed = nullptr);
