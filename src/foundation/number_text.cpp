#include "foundation/number_text.h"

#include <limits>

qint64 ParseLeadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // Too many digits saturate, as the runtime's conversion does on overflow.
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const int digit = text.at(i).unicode() - u'0';
        value = value > (highest - digit) / 10 ? highest : value * 10 + digit;
    }
    return negative ? -value : value;
}
