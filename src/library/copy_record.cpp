#include "library/copy_record.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSchemaVersion = 1;
constexpr qint64 kCardTimeNs = 2'000'000'000;

const QString kColumns =
    u"result, source, source_size, source_time_ns, source_digest, settings, result_size, "
    "result_time_ns"_s;

CopyEntry EntryOf(const QSqlQuery& query)
{
    return {query.value(0).toString(),   query.value(1).toString(),  query.value(2).toLongLong(),
            query.value(3).toLongLong(), query.value(4).toString(),  query.value(5).toString(),
            query.value(6).toLongLong(), query.value(7).toLongLong()};
}

} // namespace

bool SameResultTime(qint64 recordedNs, qint64 foundNs)
{
    return qAbs(recordedNs - foundNs) <= kCardTimeNs;
}

CCopyRecord::CCopyRecord(QString name) : connection(std::move(name))
{
}

CCopyRecord::~CCopyRecord()
{
    {
        QSqlDatabase database = QSqlDatabase::database(connection, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

std::unique_ptr<CCopyRecord> CCopyRecord::Open(const QString& folder, QString* error)
{
    std::unique_ptr<CCopyRecord> record(
        new CCopyRecord(u"orvel-copy-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces)));
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(u"QSQLITE"_s, record->connection);
        database.setDatabaseName(QDir(folder).filePath(QString::fromLatin1(kFileName)));
        if (!database.open()) {
            *error = database.lastError().text();
            return nullptr;
        }
    }
    if (!record->Prepare()) {
        *error = u"%1 is no record of a library copy: %2"_s.arg(
            QDir(folder).filePath(QString::fromLatin1(kFileName)), record->lastError);
        return nullptr;
    }
    return record;
}

bool CCopyRecord::Execute(const QString& statement, const QVariantList& values)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (query.exec())
        return true;
    lastError = query.lastError().text();
    return false;
}

bool CCopyRecord::Prepare()
{
    // A card may be pulled at any moment: every write is a transaction of its own.
    if (!Execute(u"PRAGMA journal_mode=DELETE"_s) ||
        !Execute(u"CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT)"_s) ||
        !Execute(u"CREATE TABLE IF NOT EXISTS results (result TEXT PRIMARY KEY, source TEXT NOT "
                 "NULL, source_size INTEGER, source_time_ns INTEGER, source_digest TEXT, "
                 "settings TEXT, result_size INTEGER, result_time_ns INTEGER)"_s) ||
        !Execute(u"CREATE INDEX IF NOT EXISTS results_by_source ON results (source)"_s) ||
        // Added later beside the results; a record without it gains it empty.
        !Execute(u"CREATE TABLE IF NOT EXISTS companions (result TEXT PRIMARY KEY, size "
                 "INTEGER, time_ns INTEGER)"_s))
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(u"SELECT value FROM meta WHERE key = 'version'"_s)) {
        lastError = query.lastError().text();
        return false;
    }
    if (!query.next())
        return Execute(u"INSERT INTO meta (key, value) VALUES ('version', ?)"_s, {kSchemaVersion});
    if (query.value(0).toInt() != kSchemaVersion) {
        lastError = u"it was written by another version of orvel"_s;
        return false;
    }
    return true;
}

QStringList CCopyRecord::Roots() const
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(u"SELECT value FROM meta WHERE key = 'roots'"_s) || !query.next())
        return {};
    QStringList roots;
    for (const QJsonValue& root : QJsonDocument::fromJson(query.value(0).toByteArray()).array())
        roots << root.toString();
    return roots;
}

bool CCopyRecord::SetRoots(const QStringList& roots)
{
    const QByteArray json = QJsonDocument(QJsonArray::fromStringList(roots)).toJson();
    return Execute(u"INSERT OR REPLACE INTO meta (key, value) VALUES ('roots', ?)"_s,
                   {QString::fromUtf8(json)});
}

QList<CopyEntry> CCopyRecord::Entries() const
{
    QList<CopyEntry> entries;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    // Read once, in order: no row is kept in a cache of the query's own.
    query.setForwardOnly(true);
    if (!query.exec(u"SELECT %1 FROM results ORDER BY result"_s.arg(kColumns))) {
        lastError = query.lastError().text();
        return entries;
    }
    while (query.next())
        entries << EntryOf(query);
    return entries;
}

std::optional<CopyEntry> CCopyRecord::EntryForResult(const QString& result) const
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(u"SELECT %1 FROM results WHERE result = ?"_s.arg(kColumns));
    query.addBindValue(result);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return EntryOf(query);
}

bool CCopyRecord::Put(const CopyEntry& entry)
{
    return Execute(
        u"INSERT OR REPLACE INTO results (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s.arg(kColumns),
        {entry.result, entry.source, entry.sourceSize, entry.sourceTimeNs, entry.sourceDigest,
         entry.settings, entry.resultSize, entry.resultTimeNs});
}

bool CCopyRecord::Remove(const QString& result)
{
    return Execute(u"DELETE FROM results WHERE result = ?"_s, {result});
}

bool CCopyRecord::Rename(const QString& from, const QString& to)
{
    return Execute(u"UPDATE OR REPLACE results SET result = ? WHERE result = ?"_s, {to, from});
}

namespace {

// Names directly in the folder: its path and a "/" before them, no "/" after. Compared as
// text, so that "%" or "_" in a folder's name are never wildcards.
// Each "?" takes the folder.
const QString kDirectlyIn = u"substr(result, 1, length(?) + 1) = ? || '/' AND "
                            "instr(substr(result, length(?) + 2), '/') = 0"_s;
constexpr int kFolderValues = 3;

} // namespace

bool CCopyRecord::PutCompanion(const CompanionEntry& entry)
{
    return Execute(u"INSERT OR REPLACE INTO companions (result, size, time_ns) VALUES (?, ?, ?)"_s,
                   {entry.result, entry.size, entry.timeNs});
}

bool CCopyRecord::RemoveCompanion(const QString& result)
{
    return Execute(u"DELETE FROM companions WHERE result = ?"_s, {result});
}

QList<CompanionEntry> CCopyRecord::CompanionsIn(const QString& folder) const
{
    QList<CompanionEntry> entries;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(u"SELECT result, size, time_ns FROM companions WHERE "_s + kDirectlyIn);
    for (int i = 0; i < kFolderValues; ++i)
        query.addBindValue(folder);
    if (!query.exec()) {
        lastError = query.lastError().text();
        return entries;
    }
    while (query.next())
        entries.append(
            {query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toLongLong()});
    return entries;
}

bool CCopyRecord::HoldsResultsIn(const QString& folder) const
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(u"SELECT 1 FROM results WHERE "_s + kDirectlyIn + u" LIMIT 1"_s);
    for (int i = 0; i < kFolderValues; ++i)
        query.addBindValue(folder);
    // Unreadable counts as holding: a folder is kept rather than emptied on a doubt.
    return !query.exec() || query.next();
}
