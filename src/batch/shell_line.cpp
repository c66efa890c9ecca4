#include "batch/shell_line.h"

#include "engine/command_line.h"

using namespace Qt::StringLiterals;

namespace {

// The run as the core would start it: the executable, then its argument string split the way
// the core splits it.
QString RunWords(IProcess& run)
{
    QStringList words{ShellQuote(run.GetExecutable())};
    for (const QString& argument : SplitCommandLine(run.GetParameters()))
        words << ShellQuote(argument);
    return words.join(u' ');
}

} // namespace

QString ShellQuote(const QString& argument)
{
    QString quoted = argument;
    quoted.replace(u"'"_s, u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

QString JobShellLine(CFileInfo& file)
{
    if (!file.decoder)
        return RunWords(*file.coder);
    if (!file.coder)
        return RunWords(*file.decoder);
    const QString wav = ShellQuote(file.coder->GetTempFile());
    return RunWords(*file.decoder) + u" && "_s + RunWords(*file.coder) +
           u"; status=$?; rm -f -- "_s + wav + u"; exit $status"_s;
}
