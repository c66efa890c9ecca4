#pragma once

#include "filelist/property_probe.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class QSqlDatabase;
class QSqlError;

// The properties read for files before, kept in an SQLite database so that a file that has not
// changed is not read again: a record counts only while the file has the size and the
// modification time (in nanoseconds) it had when it was read. Several processes may use one
// database at once (write-ahead log, a busy timeout). The database is a cache: a damaged file
// is moved aside and made anew, a locked one is passed by, and neither is ever fatal.
//
// Where a program keeps its properties cache, and whether it has pruned it yet. The front end
// owns one and hands it to its file list; without one, files are read without a cache.
class CPropertyCacheFile
{
public:
    explicit CPropertyCacheFile(const QString& databasePath) : path(databasePath) {}
    CPropertyCacheFile(const CPropertyCacheFile&) = delete;
    CPropertyCacheFile& operator=(const CPropertyCacheFile&) = delete;

    const QString& Path() const { return path; }
    // True for the first caller only: a pruning is a write, and every reading opens the cache
    // anew, so it happens once per program.
    bool TakePruning() { return !pruned.exchange(true); }

private:
    const QString path;
    std::atomic<bool> pruned{false};
};

// One object is used on one thread (it holds a connection of its own).
class CPropertyCache
{
public:
    // The layout of the records. A version that adds fields (tags, say) appends them to each
    // record's packed texts, and older files are emptied and made anew; a file of a newer
    // layout is left alone and not used.
    static constexpr int kSchemaVersion = 2; // 2: the tags that result names are made of
    // Records not used for this many days are removed.
    static constexpr int kKeepDays = 120;

    // What the cache knows of one path, with the file's stamp taken when it was looked up.
    struct Entry
    {
        bool found = false;
        ProbeAnswer answer; // the properties' texts and the tags

        bool stamped = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 usedDay = 0; // of a found record
    };

    explicit CPropertyCache(CPropertyCacheFile& file);
    CPropertyCache(const CPropertyCache&) = delete;
    CPropertyCache& operator=(const CPropertyCache&) = delete;
    ~CPropertyCache();

    // False when the SQLite driver is absent or the database could not be opened or was
    // locked for too long: lookups then find nothing and nothing is stored.
    bool Usable() const { return usable; }

    // Entry i for paths[i]: found when a record matches the file as it is now.
    std::vector<Entry> Find(const QStringList& paths);
    // Keeps the texts read for the entries not found (texts[i] for paths[i]) under the stamps
    // Find took, and marks the found ones as used today. Texts of a file the library did not
    // know, or read without the library, are not kept.
    void Store(const QStringList& paths, const std::vector<Entry>& entries,
               const std::vector<ProbeAnswer>& texts);

    // "orvel/properties.sqlite" in the user's cache folder (XDG_CACHE_HOME, else ~/.cache);
    // empty when there is none.
    static QString DefaultPath();

private:
    // A record of one of the paths looked up, as the table holds it.
    struct KnownRow
    {
        qsizetype index = 0; // of the path
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 usedDay = 0;
        QString texts; // packed
    };

    // The records of the paths; damaged says the file turned out damaged.
    std::vector<KnownRow> KnownRows(const QStringList& paths, bool& damaged);
    bool Open(bool retryAfterDamage);
    bool Prepare(QSqlDatabase& database);
    void Close();
    bool IsDamage(const QSqlError& error) const;
    void MoveDamagedAside();

    CPropertyCacheFile& file;
    QString path;
    QString connection;
    bool usable = false;
    bool lastDamage = false;
};
