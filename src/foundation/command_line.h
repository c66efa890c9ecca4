#pragma once

#include <QString>
#include <QStringList>

// The argument string of a run and the argv a child receives, by the rules the Microsoft C
// runtime uses to split a command line: blanks and tabs separate arguments; 2n backslashes
// before a double quote give n backslashes and toggle quoting, 2n+1 give n and a literal
// quote; other backslashes are literal; inside a quoted region "" gives one literal quote and
// the region stays open; an unclosed quote runs to the end. "" alone gives an empty argument.
QStringList SplitCommandLine(const QString& commandLine);

// The argument wrapped in double quotes so that SplitCommandLine gives back exactly it,
// whatever it holds. Without a double quote and a trailing backslash it is just "argument".
QString QuoteArgument(const QString& argument);
