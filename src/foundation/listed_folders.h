#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The names in folders that were listed a moment ago, so that one pass over a library lists
// each folder once: the walk that finds the files keeps them, and the lookups for sheets and
// covers that follow read them. A folder not kept is listed when asked.
class CListedFolders
{
public:
    void Keep(const QString& folder, QList<QByteArray> names);
    // The names of the folder's entries as the system lists them, "." and ".." left out.
    QList<QByteArray> NamesIn(const QString& folder) const;
    bool IsEmpty() const { return kept.isEmpty(); }

private:
    static QString Key(const QString& folder);

    QHash<QString, QList<QByteArray>> kept;
};
