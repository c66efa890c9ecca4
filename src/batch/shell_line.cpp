#include "batch/shell_line.h"

#include "codecs/codec.h"
#include "foundation/command_line.h"
#include "foundation/path_helpers.h"

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

// Makes the folder of the run's result first: encoders that create it themselves (oggenc) fail
// when another line running at the same time made it a moment before.
QString MakeOutputFolder(CCodec& run)
{
    QString folder = CleanedPath(run.GetOutputFile());
    RemoveFileSpec(folder);
    if (folder.isEmpty())
        return {};
    return u"mkdir -p -- "_s + ShellQuote(folder) + u" && "_s;
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
        return MakeOutputFolder(*file.coder) + RunWords(*file.coder);
    if (!file.coder)
        return MakeOutputFolder(*file.decoder) + RunWords(*file.decoder);
    const QString wav = ShellQuote(file.coder->GetTempFile());
    return MakeOutputFolder(*file.coder) + RunWords(*file.decoder) + u" && "_s +
           RunWords(*file.coder) + u"; status=$?; rm -f -- "_s + wav + u"; exit $status"_s;
}
