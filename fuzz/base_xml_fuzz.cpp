// Base.xml loading on any bytes: a refused document leaves the database empty, an accepted
// one loads the same way twice, and every entry is found by its hash and file name, first
// match in document order.
#include "codecs/executable_database.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = WriteFuzzFile("Base.xml", data, size);
    ExecutableDatabase database;
    database.Date = u"stale"_s;
    const bool loaded = LoadDatabase(database, path);
    if (!loaded) {
        if (database.GetEntryCount() != 0 || !database.GetDate().isEmpty())
            FuzzFail("a refused document left entries behind");
        return 0;
    }

    ExecutableDatabase again;
    if (!LoadDatabase(again, path) || again.GetEntryCount() != database.GetEntryCount() ||
        again.GetDate() != database.GetDate())
        FuzzFail("the same document loaded differently");

    for (int i = 0; i < database.GetEntryCount(); ++i) {
        const ExecutableEntry& entry = database.entries[static_cast<size_t>(i)];
        const ExecutableEntry* byHash = FindEntryByHash(database, entry.Hash);
        if (byHash == nullptr || byHash > &entry || byHash->Hash != entry.Hash)
            FuzzFail("an entry is not found by its hash", entry.Hash);
        const ExecutableEntry* byName = FindEntryByFileName(database, entry.FileName);
        if (byName == nullptr || byName > &entry || byName->FileName != entry.FileName)
            FuzzFail("an entry is not found by its file name", entry.FileName);
    }
    return 0;
}
