#include "filelist/property_cache.h"

#include "foundation/os.h"
#include "planning/file_info.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

using AudioText = CMediaInfoLibrary::AudioText;

// A record's texts (AnswerTexts), joined by the unit separator into one column: one value to
// bind and read per record instead of one per field. A field added to them needs a new schema
// version.
constexpr QChar kSeparator = u'\x1f';

// Waiting for another process's write; longer than any write of ours takes.
constexpr int kBusyTimeoutMs = 5000;
// SQLite's primary result codes for a file that is no database or is damaged.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;
// Up to this many records per path asked for, one pass over the table is quicker than a
// lookup per path.
constexpr qint64 kScanRecordsPerPath = 4;
constexpr qsizetype kFewestForScan = 64;
// Below this many paths a thread's start costs more than half the looks.
constexpr qsizetype kFewestForTwoThreads = 256;

std::atomic<int> connectionCount{0};

QString Packed(const ProbeAnswer& answer)
{
    return AnswerTexts(answer).join(kSeparator);
}

bool Unpack(const QString& packed, ProbeAnswer& answer)
{
    return AnswerFromTexts(packed.split(kSeparator), answer);
}

qint64 Today()
{
    return QDate::currentDate().toJulianDay();
}

// Texts worth keeping: what the library said of a file it knows. A file read without the
// library, or one a helper died on, is read again next time.
bool Keepable(const ProbeAnswer& answer)
{
    const AudioText& text = answer.text;
    if (text.format.isEmpty() || text.format == QStringView(kMediaInfoMissingText))
        return false;
    const QStringList texts = AnswerTexts(answer);
    return std::none_of(texts.cbegin(), texts.cend(),
                        [](const QString& field) { return field.contains(kSeparator); });
}

} // namespace

CPropertyCache::CPropertyCache(CPropertyCacheFile& cacheFile)
    : file(cacheFile), path(cacheFile.Path()),
      connection(u"orvel-properties-%1"_s.arg(connectionCount.fetch_add(1)))
{
    if (path.isEmpty() || !QSqlDatabase::isDriverAvailable(u"QSQLITE"_s))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    usable = Open(true);
}

CPropertyCache::~CPropertyCache()
{
    Close();
}

QString CPropertyCache::DefaultPath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return folder.isEmpty() ? QString() : folder + u"/orvel/properties.sqlite"_s;
}

bool CPropertyCache::Open(bool retryAfterDamage)
{
    bool damaged = false;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        database.setDatabaseName(path);
        database.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(kBusyTimeoutMs));
        if (database.open() && Prepare(database))
            return true;
        damaged = IsDamage(database.lastError()) || lastDamage;
    }
    Close();
    if (!retryAfterDamage || !damaged)
        return false;
    MoveDamagedAside();
    return Open(false);
}

bool CPropertyCache::Prepare(QSqlDatabase& database)
{
    QSqlQuery query(database);
    const auto run = [&](const QString& statement) {
        if (query.exec(statement))
            return true;
        lastDamage = IsDamage(query.lastError());
        return false;
    };
    if (!run(u"PRAGMA journal_mode=WAL"_s) || !run(u"PRAGMA synchronous=NORMAL"_s) ||
        !run(u"PRAGMA user_version"_s) || !query.next())
        return false;
    const int version = query.value(0).toInt();
    if (version > kSchemaVersion)
        return false; // a newer program's records: left as they are
    if (version < kSchemaVersion) {
        if (version != 0 && !run(u"DROP TABLE IF EXISTS properties"_s))
            return false;
        if (!run(u"CREATE TABLE IF NOT EXISTS properties (path TEXT PRIMARY KEY NOT NULL, "
                 u"size INTEGER NOT NULL, modified_ns INTEGER NOT NULL, used_day INTEGER NOT "
                 u"NULL, texts TEXT NOT NULL) WITHOUT ROWID"_s) ||
            !run(u"CREATE INDEX IF NOT EXISTS properties_used ON properties (used_day)"_s) ||
            !run(u"PRAGMA user_version = %1"_s.arg(kSchemaVersion)))
            return false;
    }
    if (!file.TakePruning())
        return true;
    return run(u"DELETE FROM properties WHERE used_day < %1"_s.arg(Today() - kKeepDays));
}

void CPropertyCache::Close()
{
    {
        QSqlDatabase database = QSqlDatabase::database(connection, false);
        if (database.isValid())
            database.close();
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
}

bool CPropertyCache::IsDamage(const QSqlError& error) const
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xff; // extended codes keep it
    return numeric && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

void CPropertyCache::MoveDamagedAside()
{
    // Kept for a look, once: the next damaged file takes its place.
    const QString aside = path + u".damaged"_s;
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        QFile::remove(path);
    QFile::remove(path + u"-wal"_s);
    QFile::remove(path + u"-shm"_s);
}

std::vector<CPropertyCache::Entry> CPropertyCache::Find(const QStringList& paths)
{
    std::vector<Entry> entries(size_t(paths.size()));
    const auto stamp = [&] {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            Entry& entry = entries[size_t(i)];
            entry.stamped = os::FileStamp(paths[i], entry.size, entry.modifiedNs);
        }
    };
    // A library's files are looked at on a thread of their own while the table is read: the
    // two are most of a list read again.
    std::thread looker;
    if (usable && paths.size() >= kFewestForTwoThreads)
        looker = std::thread(stamp);
    else
        stamp();
    bool damaged = false;
    const std::vector<KnownRow> rows = usable ? KnownRows(paths, damaged) : std::vector<KnownRow>();
    if (looker.joinable())
        looker.join();
    if (damaged) {
        Close();
        MoveDamagedAside();
        usable = Open(false);
        return entries;
    }
    for (const KnownRow& row : rows) {
        Entry& entry = entries[size_t(row.index)];
        if (entry.stamped && row.size == entry.size && row.modifiedNs == entry.modifiedNs) {
            entry.found = Unpack(row.texts, entry.answer);
            entry.usedDay = row.usedDay;
        }
    }
    return entries;
}

std::vector<CPropertyCache::KnownRow> CPropertyCache::KnownRows(const QStringList& paths,
                                                                bool& damaged)
{
    std::vector<KnownRow> rows;
    QSqlDatabase database = QSqlDatabase::database(connection, false);
    database.transaction();
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const auto keep = [&](qsizetype index) {
        rows.push_back({index, query.value(1).toLongLong(), query.value(2).toLongLong(),
                        query.value(3).toLongLong(), query.value(4).toString()});
    };
    const QString columns = u"SELECT path, size, modified_ns, used_day, texts FROM properties"_s;
    // A few paths are looked up one by one; counting a large table would cost more.
    qint64 records = std::numeric_limits<qint64>::max();
    if (paths.size() >= kFewestForScan) {
        records = -1;
        if (query.exec(u"SELECT count(*) FROM properties"_s) && query.next())
            records = query.value(0).toLongLong();
    }
    if (records >= 0 && records <= kScanRecordsPerPath * paths.size()) {
        // A list read again, or a cache that is still small: one pass over the table.
        QMultiHash<QString, qsizetype> index; // a path may be listed twice
        index.reserve(paths.size());
        for (qsizetype i = 0; i < paths.size(); ++i)
            index.insert(paths[i], i);
        if (query.exec(columns)) {
            while (query.next()) {
                const auto [first, last] = index.equal_range(query.value(0).toString());
                for (auto at = first; at != last; ++at)
                    keep(*at);
            }
        }
    } else if (records >= 0) {
        query.prepare(columns + u" WHERE path = ?"_s);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            query.bindValue(0, paths[i]);
            if (!query.exec())
                break;
            if (query.next())
                keep(i);
        }
    }
    damaged = IsDamage(query.lastError());
    query.finish();
    database.commit();
    return rows;
}

void CPropertyCache::Store(const QStringList& paths, const std::vector<Entry>& entries,
                           const std::vector<ProbeAnswer>& texts)
{
    const qint64 today = Today();
    bool anyWrite = false;
    for (size_t i = 0; i < entries.size() && !anyWrite; ++i)
        anyWrite = entries[i].found ? entries[i].usedDay < today : entries[i].stamped;
    if (!usable || !anyWrite)
        return;
    QSqlDatabase database = QSqlDatabase::database(connection, false);
    if (!database.transaction())
        return; // locked for too long by another process: kept next time
    QSqlQuery insert(database);
    insert.prepare(u"INSERT OR REPLACE INTO properties (path, size, modified_ns, used_day, texts) "
                   u"VALUES (?, ?, ?, %1, ?)"_s.arg(today));
    QSqlQuery touch(database);
    touch.prepare(u"UPDATE properties SET used_day = ? WHERE path = ?"_s);
    bool written = true;
    for (qsizetype i = 0; i < paths.size() && written; ++i) {
        const Entry& entry = entries[size_t(i)];
        if (entry.found) {
            // Once a day at most, so a list read again and again costs no writes.
            if (entry.usedDay < today) {
                touch.bindValue(0, today);
                touch.bindValue(1, paths[i]);
                written = touch.exec();
            }
            continue;
        }
        if (!entry.stamped || size_t(i) >= texts.size() || !Keepable(texts[size_t(i)]))
            continue;
        insert.bindValue(0, paths[i]);
        insert.bindValue(1, entry.size);
        insert.bindValue(2, entry.modifiedNs);
        insert.bindValue(3, Packed(texts[size_t(i)]));
        written = insert.exec();
    }
    insert.finish();
    touch.finish();
    if (!written || !database.commit())
        database.rollback();
}
