#include "ui/application_run.h"

#include "extensions/language_pack.h"
#include "extensions/system_language.h"
#include "filelist/property_cache.h"
#include "foundation/notifier.h"
#include "foundation/os.h"
#include "settings/settings_set.h"
#include "ui/dlg_main.h"
#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <memory>

int RunApplication()
{
    CLanguagePack& language = CLanguagePack::Instance();
    // The language is chosen before the window reads the settings, so its one key is read here.
    CSettingsSet chosen;
    chosen.LoadFromProgramFolder(QDir::currentPath());
    if (!SelectStartupLanguage(language, SystemDefaultLanguageId(), chosen.general.language)) {
        CurrentNotifier()->Notify(INotifier::Icon::Error, NoLanguageCaption(), NoLanguageMessage());
        return kNoLanguageExitCode;
    }

    InstallQtTranslations(language, QCoreApplication::instance());

    // Kept between runs in the user's cache folder; it outlives the window that reads through it.
    CPropertyCacheFile propertyCache(CPropertyCache::DefaultPath());
    auto window = std::make_unique<CDlgMain>(language);
    window->FileList().SetPropertyCache(&propertyCache);
    if (!window->Initialise()) {
        // Start-up stopped with a message; nothing is saved.
        language.Unload();
        return 0;
    }
    QEventLoop loop;
    QObject::connect(window.get(), &CDlgMain::Closed, &loop, &QEventLoop::exit);
    std::unique_ptr<QSocketNotifier> stopSignals;
    if (os::StopSignalDescriptor() >= 0) {
        stopSignals =
            std::make_unique<QSocketNotifier>(os::StopSignalDescriptor(), QSocketNotifier::Read);
        QObject::connect(stopSignals.get(), &QSocketNotifier::activated, window.get(), [&window] {
            if (const int signal = os::TakeStopSignal(); signal != 0)
                window->EndOnSignal(signal);
        });
    }
    window->show();
    const int result = loop.exec();

    language.Unload();
    window.reset();
    return result;
}
