#pragma once

// The language packs' ids of what orvel-batch --sync prints.
namespace SyncText {
constexpr int kAdd = 560;
constexpr int kConvertAgain = 561;
constexpr int kMove = 562;
constexpr int kRemove = 563;
constexpr int kKept = 564;
constexpr int kLeftAlone = 565;
constexpr int kWould = 566;
constexpr int kRefused = 567;
constexpr int kCopyInLibrary = 568;
constexpr int kForeignFile = 569;
constexpr int kSourceNotConverted = 570;
constexpr int kNotAFolder = 571;
constexpr int kRecordNotWritten = 572;
constexpr int kMoved = 573;
constexpr int kRemoved = 574;
constexpr int kNotMoved = 575;
constexpr int kNotRemoved = 576;
constexpr int kNewPlaceTaken = 577;
constexpr int kCopy = 612;
constexpr int kCopied = 613;
constexpr int kCopyAlong = 615;
constexpr int kCopiedAlong = 616;
} // namespace SyncText
