#pragma once

// The language packs' ids of the window's library sync. The words of the plan's actions are
// the ones orvel-batch prints.
namespace LibrarySyncText {
inline constexpr int kAdd = 560;
inline constexpr int kConvertAgain = 561;
inline constexpr int kMove = 562;
inline constexpr int kRemove = 563;
inline constexpr int kKept = 564;
inline constexpr int kLeftAlone = 565;
inline constexpr int kForeignFile = 569;
inline constexpr int kCopyAlong = 615;
inline constexpr int kCopiedAlong = 616;
inline constexpr int kRemoveMany = 617; // under kRemoveGone
inline constexpr int kTitle = 620;      // the dialog's caption and the menu command
inline constexpr int kLibraryFolders = 621;
inline constexpr int kAddFolder = 622;
inline constexpr int kRemoveFolder = 623;
inline constexpr int kCopyFolder = 624;
inline constexpr int kBrowse = 625;
inline constexpr int kRemoveGone = 626;
inline constexpr int kPlanAgain = 627;
inline constexpr int kSync = 628;
inline constexpr int kClose = 629;
inline constexpr int kCounts = 630;
inline constexpr int kRefused = 631;
inline constexpr int kAskRemove = 632;
inline constexpr int kReading = 633;
inline constexpr int kNeedsCoder = 634;
inline constexpr int kNameFolders = 635;
inline constexpr int kCopyInLibrary = 636;
inline constexpr int kNotCarriedOut = 637; // what went wrong while carrying it out follows
inline constexpr int kLibraryFolderOption = 638;
inline constexpr int kLibraryFolderTip = 639;
} // namespace LibrarySyncText
