#pragma once

#include "extensions/language_menu.h"

#include <QString>
#include <functional>

class CPluginList;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Menus built from a language pack's menus. Every command item becomes an action whose data is
// its command id; choosing one calls the handler with that id.
using CommandHandler = std::function<void(int commandId)>;

// Appends the items to menu, pop-ups as sub-menus. Without a handler the caller reads the
// chosen action (QMenu::exec) itself.
void AddMenuItems(QMenu* menu, const std::vector<LanguageMenuItem>& items,
                  const CommandHandler& handler = {});

// The menu bar of the main window: one pop-up per top-level item of the menu.
QMenuBar* BuildMenuBar(QWidget* owner, const LanguageMenu& menu, const CommandHandler& handler);

struct PluginsMenuTexts
{
    QString caption;
    QString noneLoaded; // the one disabled item when no plugin file loaded
};

// The Plugins pop-up, one item per loaded plugin with its command id, inserted before the last
// item of the bar (Help). Only when the Plugins folder held any plugin file; null otherwise.
QMenu* InsertPluginsMenu(QMenuBar* bar, const CPluginList& plugins, const PluginsMenuTexts& texts,
                         const CommandHandler& handler);

// The command id an action carries, 0 for none.
int CommandIdOf(const QAction* action);

// The action of the command below widget (a menu or a menu bar), searched depth-first.
QAction* FindCommandAction(const QWidget* widget, int commandId);
