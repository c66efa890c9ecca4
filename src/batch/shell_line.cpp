#include "batch/shell_line.h"

using namespace Qt::StringLiterals;

QString ShellQuote(const QString& argument)
{
    QString quoted = argument;
    quoted.replace(u"'"_s, u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}
