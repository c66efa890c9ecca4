#pragma once

#include "settings/settings_exchange.h"

#include <QString>
#include <QStringList>

// The user's music library and the copy kept in step with it, section "Settings.Library".
class CSettingsLibrary : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    // With the folder structure kept, files inside this folder keep the tree below it in the
    // output, whatever else the list holds; empty: the list's deepest common folder.
    QString libraryFolder;
    // What the last sync in the window was asked for: the library's folders and the copy's.
    static constexpr int kSyncRoots = 8;
    QStringList syncRoots;
    QString syncCopyFolder;

private:
    bool ExchangeSyncRoots(CSettingsExchange& values);
};
