#include "extensions/language_format.h"

std::optional<QList<FormatArgument>> FormatArguments(const QString& format)
{
    QList<FormatArgument> conversions;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%')
            continue;
        const QChar next = i + 1 < format.size() ? format[i + 1] : QChar();
        if (next == u'd')
            conversions.append(FormatArgument::Integer);
        else if (next == u's')
            conversions.append(FormatArgument::Text);
        else if (next != u'%')
            return std::nullopt;
        ++i;
    }
    return conversions;
}

QString FormatLanguageText(const QString& format, const QStringList& arguments)
{
    QString result;
    result.reserve(format.size());
    qsizetype nextArgument = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar next = i + 1 < format.size() ? format[i + 1] : QChar();
        if (format[i] != u'%' || (next != u'd' && next != u's' && next != u'%')) {
            result.append(format[i]);
            continue;
        }
        ++i;
        if (next == u'%')
            result.append(u'%');
        else if (nextArgument < arguments.size())
            result.append(arguments[nextArgument++]);
        else
            result.append(u'%').append(next);
    }
    return result;
}
