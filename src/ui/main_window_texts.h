#pragma once

// Language string ids the main window uses.
namespace MainText {
inline constexpr int kStart = 101;
inline constexpr int kFileNameColumn = 102;
inline constexpr int kSizeColumn = 103;
inline constexpr int kFormat = 104; // column 2 and the coder information's format row
inline constexpr int kCoder = 105;  // column 4 and the coder label
inline constexpr int kPreset = 106; // column 5 and the preset label
inline constexpr int kReset = 107;
inline constexpr int kApply = 108;
inline constexpr int kDecoderLine = 109;
inline constexpr int kCoderLine = 110;
inline constexpr int kDecodeOnly = 111;
inline constexpr int kStartupReady = 112;
inline constexpr int kStartupTime = 113; // one integer: milliseconds
inline constexpr int kSettingsNotSaved = 117;
inline constexpr int kSettingsNotRead = 118;
inline constexpr int kErrorCaption = 119;
inline constexpr int kWarningCaption = 120;
inline constexpr int kCannotPlan = 121;
inline constexpr int kCannotPlanFormat = 122;
inline constexpr int kOwnSourceWarning = 130;
inline constexpr int kDescription = 147;
inline constexpr int kDecoderColumn = 149;
inline constexpr int kCoderInfo = 166;
inline constexpr int kDate = 167;
} // namespace MainText
