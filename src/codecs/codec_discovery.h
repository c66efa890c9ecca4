#pragma once

#include "codecs/codec.h"
#include "codecs/executable_database.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// The two lists the program works on, in discovery order; every first-match rule relies on
// that order. The last coder is always the decode-only entry.
using CoderList = std::vector<std::unique_ptr<CCoder>>;
using DecoderList = std::vector<std::unique_ptr<CDecoder>>;

// Directory listings in the program's listing order: by name case-insensitively, then
// case-sensitively. Each result is the folder, a separator, and the entry name.
//
// ListFolders keeps real, non-hidden directories (never links to them). ListFiles keeps every
// other entry that matches the pattern, except special files (FIFOs, sockets, devices) and
// dangling links; the pattern "*.exe" stands for executables: regular
// files, or links to one, with an execute bit and a name not starting with ".". Any other
// pattern is a wildcard on the name.
//
// Both answer false, with an empty result, when the folder cannot be listed or, for a pattern
// other than "*", when nothing matches.
bool ListFolders(const QString& folder, const QString& pattern, QStringList& result);
bool ListFiles(const QString& folder, const QString& pattern, QStringList& result);

// One definition per executable of each subfolder of root. A subfolder without an executable
// (one whose program is a dangling link, say) is skipped and the scan goes on.
bool ScanCoderFolders(const QString& root, CoderList& coders);
bool ScanDecoderFolders(const QString& root, DecoderList& decoders);

// One definition per executable of root that the database knows and that has at least one
// command line of the wanted type ("Coding" or "Decoding").
bool ScanCodecsForCoders(const ExecutableDatabase& database, const QString& root, CoderList& coders,
                         bool findByFileName);
bool ScanCodecsForDecoders(const ExecutableDatabase& database, const QString& root,
                           DecoderList& decoders, bool findByFileName);

// While one lives, the coder and the decoder scans of "Codecs" share their digests, so each
// executable is hashed once per discovery. The first of nested ones counts.
class CDiscoveryHashes
{
public:
    CDiscoveryHashes();
    CDiscoveryHashes(const CDiscoveryHashes&) = delete;
    CDiscoveryHashes& operator=(const CDiscoveryHashes&) = delete;
    ~CDiscoveryHashes();

private:
    QHash<QString, QString> hashes;
};

// The start-up sequence: folder coders, database coders, the decode-only entry named
// `decodeOnlyName`, then folder decoders and database decoders.
void DiscoverCodecs(const QString& programFolder, const ExecutableDatabase& database,
                    CoderList& coders, DecoderList& decoders, bool findByFileName,
                    const QString& decodeOnlyName);

// Empty a list and build it again; the database is not reloaded.
void RescanCoders(const QString& programFolder, const ExecutableDatabase& database,
                  CoderList& coders, bool findByFileName, const QString& decodeOnlyName);
void RescanDecoders(const QString& programFolder, const ExecutableDatabase& database,
                    DecoderList& decoders, bool findByFileName);
