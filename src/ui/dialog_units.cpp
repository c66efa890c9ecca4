#include "ui/dialog_units.h"

#include <QFontMetrics>

using namespace Qt::StringLiterals;

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
    // The average over the 52 letters, rounded, as dialog templates measure it.
    baseX = qMax(1, (metrics.horizontalAdvance(letters) + 26) / 52);
    baseY = qMax(1, metrics.height());
}
