#pragma once

#include <QList>
#include <QString>

class CCodec;
class CLanguagePack;
struct CodecInstallation;

// The windows' words for what InstallationOf decides, so that the coder list, the coder's
// information and Start say the same of a coder whose program is missing.

// The coder's name, with "(not installed: Debian package lame)" after it when its program is
// missing.
QString CoderListText(CCodec& coder, const CLanguagePack& language);

// The coder information's "Program" value: "lame (installed)", or what to install; empty for
// an executable that is no wrapper script.
QString ProgramStateText(const CodecInstallation& installation, const CLanguagePack& language);

// Start: when one of the codecs' programs is missing, one warning that names each missing
// program and its package, and true; the run is then not started.
bool RefuseMissingPrograms(const QList<CCodec*>& codecs, const CLanguagePack& language);
