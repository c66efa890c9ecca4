#include "extensions/language_menu.h"

using namespace Qt::StringLiterals;

LanguageMenuItem LanguageMenuItem::Command(const QString& text, int commandId)
{
    LanguageMenuItem item;
    item.kind = Kind::Command;
    item.text = text;
    item.commandId = commandId;
    return item;
}

LanguageMenuItem LanguageMenuItem::Separator()
{
    LanguageMenuItem item;
    item.kind = Kind::Separator;
    return item;
}

LanguageMenuItem LanguageMenuItem::Popup(const QString& text, std::vector<LanguageMenuItem> items)
{
    LanguageMenuItem item;
    item.kind = Kind::Popup;
    item.text = text;
    item.items = std::move(items);
    return item;
}

namespace {

using Item = LanguageMenuItem;

LanguageMenu BuiltInMainMenu()
{
    using namespace MenuCommand;
    return {
        Item::Popup(u"Program"_s, {Item::Command(u"Options"_s, kOptions),
                                   Item::Command(u"Console window"_s, kConsoleWindow),
                                   Item::Command(u"View codecs info"_s, kViewCodecsInfo),
                                   Item::Command(u"Update codecs"_s, kUpdateCodecs),
                                   Item::Separator(), Item::Command(u"Exit"_s, kExit)}),
        Item::Popup(
            u"List"_s,
            {Item::Command(u"Add file..."_s, kAddFile),
             Item::Command(u"Add folder..."_s, kAddFolder), Item::Separator(),
             Item::Command(u"Load list..."_s, kLoadList),
             Item::Command(u"Save list..."_s, kSaveList), Item::Separator(),
             Item::Popup(u"Selection"_s, {Item::Command(u"Select all"_s, kSelectAll),
                                          Item::Command(u"Invert selection"_s, kInvertSelection),
                                          Item::Command(u"Clear selection"_s, kClearSelection)}),
             Item::Separator(), Item::Command(u"Remove selected items"_s, kRemoveSelected),
             Item::Command(u"Remove dead entries"_s, kRemoveDeadEntries),
             Item::Command(u"Remove all"_s, kRemoveAll), Item::Separator(),
             Item::Command(u"Retry failed"_s, kRetryFailed), Item::Separator(),
             Item::Command(u"Sync with the library..."_s, kSyncWithLibrary)}),
        Item::Popup(u"Help"_s, {Item::Command(u"Help"_s, kHelp),
                                Item::Command(u"Open home page"_s, kOpenHomePage),
                                Item::Command(u"About..."_s, kAbout)}),
    };
}

LanguageMenu BuiltInFileListMenu()
{
    using namespace MenuCommand;
    return {
        Item::Popup(u"File list"_s,
                    {Item::Command(u"Add file..."_s, kContextAddFile),
                     Item::Command(u"Add folder..."_s, kContextAddFolder),
                     Item::Command(u"Remove selected items"_s, kRemoveSelected), Item::Separator(),
                     Item::Command(u"Open containing folder"_s, kOpenContainingFolder),
                     Item::Command(u"Open output folder"_s, kOpenOutputFolder)})};
}

void CollectCommandIds(const LanguageMenu& items, std::vector<int>& ids)
{
    for (const LanguageMenuItem& item : items) {
        if (item.kind == LanguageMenuItem::Kind::Command)
            ids.push_back(item.commandId);
        else if (item.kind == LanguageMenuItem::Kind::Popup)
            CollectCommandIds(item.items, ids);
    }
}

} // namespace

LanguageMenu BuiltInMenu(int menuId)
{
    if (menuId == kMainMenuId)
        return BuiltInMainMenu();
    if (menuId == kFileListMenuId)
        return BuiltInFileListMenu();
    return {};
}

std::vector<int> MenuCommandIds(const LanguageMenu& menu)
{
    std::vector<int> ids;
    CollectCommandIds(menu, ids);
    return ids;
}
