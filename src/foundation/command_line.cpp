#include "foundation/command_line.h"

namespace {

constexpr QChar kQuote = u'"';
constexpr QChar kBackslash = u'\\';

bool IsSeparator(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

QStringList SplitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false; // "" must still give an (empty) argument
    bool quoted = false;
    const qsizetype size = commandLine.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = commandLine[i];
        if (IsSeparator(c) && !quoted) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == kBackslash) {
            qsizetype backslashes = 0;
            while (i < size && commandLine[i] == kBackslash) {
                ++backslashes;
                ++i;
            }
            if (i < size && commandLine[i] == kQuote) {
                current.append(QString(backslashes / 2, kBackslash));
                if (backslashes % 2 == 1) {
                    current.append(kQuote);
                    ++i;
                }
                // An even count leaves the quote to toggle quoting on the next pass.
            } else {
                current.append(QString(backslashes, kBackslash));
            }
            continue;
        }
        if (c == kQuote && quoted && i + 1 < size && commandLine[i + 1] == kQuote) {
            // The runtime reads "" inside a quoted region as one quote; the region stays open.
            current.append(kQuote);
            i += 2;
            continue;
        }
        if (c == kQuote)
            quoted = !quoted;
        else
            current.append(c);
        ++i;
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QString QuoteArgument(const QString& argument)
{
    // Most paths hold neither: they are quoted as they are.
    if (!argument.contains(kBackslash) && !argument.contains(kQuote))
        return kQuote + argument + kQuote;
    QString quoted;
    quoted.reserve(argument.size() + 2);
    quoted.append(kQuote);
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == kBackslash) {
            ++backslashes;
            continue;
        }
        if (c == kQuote)
            backslashes = backslashes * 2 + 1; // the run doubled, plus one for the quote
        for (; backslashes > 0; --backslashes)
            quoted.append(kBackslash);
        quoted.append(c);
    }
    // Backslashes before the closing quote are doubled so they do not escape it.
    for (backslashes *= 2; backslashes > 0; --backslashes)
        quoted.append(kBackslash);
    quoted.append(kQuote);
    return quoted;
}
