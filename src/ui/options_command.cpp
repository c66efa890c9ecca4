#include "ui/options_command.h"

#include "foundation/os.h"
#include "settings/settings_set.h"
#include "ui/dlg_job_control.h"
#include "ui/options_dialog.h"
#include "ui/options_page_along.h"
#include "ui/options_page_core.h"
#include "ui/options_page_database.h"
#include "ui/options_page_device.h"
#include "ui/options_page_general.h"
#include "ui/options_page_names.h"
#include "ui/options_page_plugins.h"

#include <orvel/icore.h>

void AddProgramPages(COptionsDialog& dialog, CLanguagePack& language, const OptionsSources& sources)
{
    dialog.AddPage(std::make_unique<COptionsPageGeneral>(language));
    dialog.AddPage(std::make_unique<COptionsPageCore>(language, os::ProcessorCount()));
    dialog.AddPage(std::make_unique<COptionsPagePlugins>(language, sources.plugins));
    dialog.AddPage(std::make_unique<COptionsPageDatabase>(language, sources.databaseRecords,
                                                          sources.databaseDate));
    // After the others, so that the pages before them keep the positions stored as the initial
    // page.
    dialog.AddPage(std::make_unique<COptionsPageNames>(language, sources.namePreview));
    dialog.AddPage(std::make_unique<COptionsPageDevice>(language));
    dialog.AddPage(std::make_unique<COptionsPageAlong>(language));
}

bool RunOptionsDialog(CLanguagePack& language, CSettingsSet& settings, ICore& core,
                      const OptionsSources& sources, QWidget* parent)
{
    COptionsDialog dialog(language, settings, parent);
    AddProgramPages(dialog, language, sources);
    if (dialog.exec() != COptionsDialog::kResultOK) {
        return false;
    }
    if (const quint32 priorityClass = PriorityClassForIndex(settings.core.priority)) {
        core.SetPriority(priorityClass);
    }
    core.SetThreadsCount(settings.core.threadsCount);
    return true;
}
