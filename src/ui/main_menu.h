#pragma once

#include "extensions/language_menu.h"

class CPluginList;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Menus built from a language pack's menus. Every command item becomes an action whose data is
// its command id; choosing one reaches the owner through the menu's triggered signal.

// Appends the items to menu, pop-ups as sub-menus.
void AddMenuItems(QMenu* menu, const std::vector<LanguageMenuItem>& items);

// The menu bar of the main window: one pop-up per top-level item of the menu.
QMenuBar* BuildMenuBar(QWidget* owner, const LanguageMenu& menu);

// The Plugins pop-up, one item per loaded plugin with its command id, inserted before the last
// item of the bar (Help). Only when the Plugins folder held any plugin file; null otherwise.
QMenu* InsertPluginsMenu(QMenuBar* bar, const CPluginList& plugins, const QString& caption);

// The command id an action carries, 0 for none.
int CommandIdOf(const QAction* action);

// The action of the command below widget (a menu or a menu bar), searched depth-first.
QAction* FindCommandAction(const QWidget* widget, int commandId);
