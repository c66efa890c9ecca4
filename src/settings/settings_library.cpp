#include "settings/settings_library.h"

using namespace Qt::StringLiterals;

bool CSettingsLibrary::Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                                bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.String(u"LibraryFolder"_s, libraryFolder, QString()) &&
           values.String(u"SyncCopyFolder"_s, syncCopyFolder, QString()) &&
           ExchangeSyncRoots(values) && values.Result();
}

bool CSettingsLibrary::ExchangeSyncRoots(CSettingsExchange& values)
{
    QStringList roots = syncRoots;
    roots.resize(kSyncRoots);
    for (int i = 0; i < kSyncRoots; ++i) {
        if (!values.String(u"SyncRoot%1"_s.arg(i + 1), roots[i], QString()))
            return false;
    }
    roots.removeAll(QString());
    syncRoots = roots;
    return true;
}
