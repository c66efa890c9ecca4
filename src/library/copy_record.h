#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>

// What the record keeps of one result orvel wrote into a library copy.
struct CopyEntry
{
    QString result; // below the copy's folder, "/"-separated
    QString source; // absolute
    qint64 sourceSize = 0;
    qint64 sourceTimeNs = 0;
    QString sourceDigest;
    QString settings; // every choice that changes a result: coder, preset, names, gains, checks
    qint64 resultSize = 0;
    qint64 resultTimeNs = 0;

    bool operator==(const CopyEntry&) const = default;
};

// A cover or other file orvel carried along into a result folder of the copy.
struct CompanionEntry
{
    QString result; // below the copy's folder, "/"-separated
    qint64 size = 0;
    qint64 timeNs = 0;

    bool operator==(const CompanionEntry&) const = default;
};

// The record of a library copy: a hidden SQLite file in the copy's folder listing every result
// orvel wrote there and what it was made from, so that a later sync converts only what changed,
// moves what was renamed, and removes only its own results. Each result is written as it lands,
// in its own transaction, so an interrupted run keeps what it finished.
class CCopyRecord
{
public:
    static constexpr char kFileName[] = ".orvel-copy.sqlite";

    ~CCopyRecord();
    CCopyRecord(const CCopyRecord&) = delete;
    CCopyRecord& operator=(const CCopyRecord&) = delete;

    // Opens (or creates) the record of the copy in folder; empty, with the reason in *error,
    // when it cannot be opened or is not a record of ours.
    static std::unique_ptr<CCopyRecord> Open(const QString& folder, QString* error);

    // The source folders the copy was made from; empty for a new record.
    QStringList Roots() const;
    bool SetRoots(const QStringList& roots);

    QList<CopyEntry> Entries() const;
    std::optional<CopyEntry> EntryForResult(const QString& result) const;
    // Writes the entry, replacing the one for the same result.
    bool Put(const CopyEntry& entry);
    bool Remove(const QString& result);
    // The entry moves to another result name (its file was renamed with it).
    bool Rename(const QString& from, const QString& to);

    // The covers and files along orvel wrote, so that the folder of a removed album goes with
    // its cover, never with a file of the user's.
    bool PutCompanion(const CompanionEntry& entry);
    bool RemoveCompanion(const QString& result);
    // Those directly in the folder ("/"-separated, below the copy's folder).
    QList<CompanionEntry> CompanionsIn(const QString& folder) const;
    // The record lists a result directly in the folder.
    bool HoldsResultsIn(const QString& folder) const;

    QString LastError() const { return lastError; }

private:
    explicit CCopyRecord(QString connection);
    bool Prepare();
    bool Execute(const QString& statement, const QVariantList& values = {});

    QString connection;
    mutable QString lastError;
};

// Times on FAT and exFAT cards are kept to 2 seconds: a result read back within that of what
// was recorded is the one recorded.
bool SameResultTime(qint64 recordedNs, qint64 foundNs);
