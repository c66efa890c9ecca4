#include "codecs/codec_installation.h"

#include "codecs/codec.h"
#include "codecs/system_program.h"
#include "foundation/path_helpers.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// Wrapper scripts are a few lines; more is never read for a package name.
constexpr qint64 kMaxScriptSize = 64 * 1024;

QString PackageNamedIn(const QString& text)
{
    static const QRegularExpression named(u"Debian package ([a-z0-9][a-z0-9+.-]*[a-z0-9+])"_s);
    return named.match(text).captured(1);
}

QString ScriptText(const QString& path)
{
    QFile script(path);
    if (!script.open(QIODevice::ReadOnly) || script.size() > kMaxScriptSize)
        return {};
    return QString::fromUtf8(script.readAll());
}

} // namespace

CodecInstallation InstallationOf(CCodec& codec)
{
    CodecInstallation installation;
    const QString executable = CleanedPath(codec.GetExecutable());
    if (executable.isEmpty())
        return installation;
    installation.program = WrappedProgramName(executable);
    if (installation.program.isEmpty())
        return installation;
    installation.installed = !QStandardPaths::findExecutable(installation.program).isEmpty();
    // The script's own message names the package it asks for; Info.txt says it otherwise.
    installation.package = PackageNamedIn(ScriptText(executable));
    if (installation.package.isEmpty())
        installation.package = PackageNamedIn(codec.description);
    return installation;
}

QString NotInstalledText(const CodecInstallation& installation)
{
    if (installation.package.isEmpty())
        return u"%1 is not installed."_s.arg(installation.program);
    return u"%1 is not installed. Install the Debian package %2: sudo apt install %2"_s.arg(
        installation.program, installation.package);
}
