#include "report/size_text.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr double kScaleStep = 1024.0;
constexpr double kScaleFactor = 0.0009765625; // 1 / 1024
// More decimals than a double holds say nothing; fewer than none are none.
constexpr qint32 kMaxDecimals = 17;

QString ExactSize(double value)
{
    QString text = QString::asprintf("%.0f", value);
    // Group the digits only, so a sign never stands apart from its number.
    const qsizetype firstDigit = text.startsWith(u'-') ? 1 : 0;
    for (qsizetype n = text.size() - 3; n > firstDigit; n -= 3)
        text.insert(n, u' ');
    return text + u" B"_s;
}

} // namespace

QString FormatSize(qint64 bytes, qint32 mode, qint32 decimals)
{
    double value = double(bytes);
    if (mode == kSizeModeExact)
        return ExactSize(value);

    QString suffix;
    if (mode == kSizeModeAutomatic) {
        static const QString kUnits[] = {u" B"_s, u" KB"_s, u" MB"_s, u" GB"_s};
        int unit = 0;
        while (value > kScaleStep && unit < 3) {
            value *= kScaleFactor;
            ++unit;
        }
        suffix = kUnits[unit];
    }
    QString text = QString::asprintf("%.*f", std::clamp(decimals, 0, kMaxDecimals), value) + suffix;
    UseDecimalComma(text);
    return text;
}

void UseDecimalComma(QString& text)
{
    text.replace(u'.', u',');
}
