#pragma once

#include <QString>
#include <vector>

// One item of a language pack's menu: a command, a separator, or a pop-up holding items.
struct LanguageMenuItem
{
    enum class Kind
    {
        Command,
        Separator,
        Popup
    };

    Kind kind = Kind::Command;
    QString text;
    int commandId = 0;                   // commands only
    std::vector<LanguageMenuItem> items; // pop-ups only

    static LanguageMenuItem Command(const QString& text, int commandId);
    static LanguageMenuItem Separator();
    static LanguageMenuItem Popup(const QString& text, std::vector<LanguageMenuItem> items);

    bool operator==(const LanguageMenuItem&) const = default;
};

// A menu is its top-level items; a menu bar's are pop-ups.
using LanguageMenu = std::vector<LanguageMenuItem>;

// Command ids the menus carry.
namespace MenuCommand {
inline constexpr int kExit = 32776;
inline constexpr int kOptions = 32777;
inline constexpr int kConsoleWindow = 32778;
inline constexpr int kAddFile = 32781;
inline constexpr int kAddFolder = 32782;
inline constexpr int kLoadList = 32784;
inline constexpr int kSaveList = 32785;
inline constexpr int kSelectAll = 32787;
inline constexpr int kInvertSelection = 32788;
inline constexpr int kClearSelection = 32789;
inline constexpr int kRemoveSelected = 32791;
inline constexpr int kRemoveDeadEntries = 32792;
inline constexpr int kRemoveAll = 32793;
inline constexpr int kAbout = 32796;
inline constexpr int kContextAddFile = 32799;
inline constexpr int kContextAddFolder = 32800;
inline constexpr int kOpenContainingFolder = 32801;
inline constexpr int kOpenOutputFolder = 32802;
inline constexpr int kViewCodecsInfo = 32807;
inline constexpr int kUpdateCodecs = 32808;
inline constexpr int kHelp = 32809;
inline constexpr int kOpenHomePage = 32810;
inline constexpr int kRetryFailed = 32850;
inline constexpr int kSyncWithLibrary = 32851;
} // namespace MenuCommand

// The program's own English menus 203 and 215, used when the pack supplies none; empty for
// any other id.
LanguageMenu BuiltInMenu(int menuId);

// Every command id a menu holds, in menu order, pop-ups included.
std::vector<int> MenuCommandIds(const LanguageMenu& menu);

// Menus the main window takes from the language pack.
inline constexpr int kMainMenuId = 203;
inline constexpr int kFileListMenuId = 215;
