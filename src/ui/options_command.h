#pragma once

#include "ui/options_page_names.h"

#include <QString>

class CLanguagePack;
class CPluginList;
class CSettingsSet;
class COptionsDialog;
class ICore;
class QWidget;

// What the program's option pages show besides the settings.
struct OptionsSources
{
    const CPluginList& plugins;
    int databaseRecords = 0;
    QString databaseDate;
    // The Names page shows the result of this file of the list as Apply would name it.
    NamePreviewSource namePreview = {};
};

// The program's pages in tree order: General, Core, Plugins, Database. A new page is one
// more line here; appending keeps the positions that "OptionsInitialPage" stores.
void AddProgramPages(COptionsDialog& dialog, CLanguagePack& language,
                     const OptionsSources& sources);

// The "Options" command: the dialog over parent, and on OK the priority and thread count
// handed to the core. True when the user pressed OK.
bool RunOptionsDialog(CLanguagePack& language, CSettingsSet& settings, ICore& core,
                      const OptionsSources& sources, QWidget* parent);
