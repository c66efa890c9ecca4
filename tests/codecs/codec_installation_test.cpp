#include "codec_tree.h"
#include "codecs/codec_discovery.h"
#include "codecs/codec_installation.h"
#include "settings/settings_set.h"
#include "support/test_paths.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The shipped scripts' shape: a program looked up in PATH, the package named when it is not.
QByteArray Wrapper(const QByteArray& program, const QByteArray& package)
{
    QByteArray script = "#!/bin/sh\nprogram=$(command -v " + program + ") || {\n";
    if (!package.isEmpty())
        script += "    echo \"orvel: " + program +
                  " is not installed. Install the Debian package " + package +
                  ": sudo apt install " + package + "\" >&2\n";
    return script + "    exit 127\n}\nexec \"$program\" \"$@\"\n";
}

void AddCoder(const QString& root, const QString& name, const QByteArray& script,
              const QString& info = {})
{
    const QString folder = root + u"/Coders/"_s + name + u'/';
    WriteText(folder + u"Presets.ini"_s, u"Default\n%in% %out%\n"_s);
    WriteText(folder + u"Extensions.ini"_s, u"out\n"_s);
    WriteText(folder + u"run.name"_s, name + u'\n');
    if (!info.isEmpty())
        WriteText(folder + u"Info.txt"_s, info + u"\nFormat\n2026-01-01\n"_s);
    WriteExecutable(folder + u"run"_s, script);
}

} // namespace

// One decision for every front end: a wrapper script whose program is missing is not installed,
// with the package its message or its Info.txt names; every other executable is.
TEST(CodecInstallationTest, AWrapperWhoseProgramIsMissingNamesItsPackage)
{
    QTemporaryDir root;
    AddCoder(root.path(), u"Absent"_s, Wrapper("orvel-absent-encoder", "orvel-tools"));
    AddCoder(root.path(), u"Absent Info"_s, Wrapper("orvel-absent-encoder", {}),
             u"An encoder (Debian package orvel-extra)"_s);
    AddCoder(root.path(), u"Absent Unnamed"_s, Wrapper("orvel-absent-encoder", {}));
    AddCoder(root.path(), u"Present"_s, Wrapper("sh", "dash"));
    AddCoder(root.path(), u"Own"_s,
             "\x7f"
             "ELF not a script");
    CoderList coders;
    DecoderList decoders;
    DiscoverCodecs(root.path(), ExecutableDatabase(), coders, decoders, false, u"Decode only"_s);

    QStringList found;
    for (const auto& coder : coders) {
        const CodecInstallation installation = InstallationOf(*coder);
        found << coder->GetName() + u'|' + installation.program + u'|' + installation.package +
                     u'|' + (installation.installed ? u"yes"_s : u"no"_s);
    }
    EXPECT_EQ(found, (QStringList{u"Absent|orvel-absent-encoder|orvel-tools|no"_s,
                                  u"Absent Info|orvel-absent-encoder|orvel-extra|no"_s,
                                  u"Absent Unnamed|orvel-absent-encoder||no"_s, u"Own|||yes"_s,
                                  u"Present|sh|dash|yes"_s, u"Decode only|||yes"_s}));
    EXPECT_EQ(NotInstalledText(InstallationOf(*coders[0])),
              u"orvel-absent-encoder is not installed. Install the Debian package orvel-tools: "
              u"sudo apt install orvel-tools"_s);
    EXPECT_EQ(NotInstalledText(InstallationOf(*coders[2])),
              u"orvel-absent-encoder is not installed."_s);
}

// What a new user gets from the shipped folder: LAME MP3 at VBR V2 first, FLAC at level 5 when
// chosen, and every coder's program installed here with the package the README names.
TEST(CodecInstallationTest, TheShippedCodersStartANewUserRightAndNameTheirPackages)
{
    ExecutableDatabase database;
    ASSERT_TRUE(LoadDatabase(database, SourceTreePath(u"data/Base.xml"_s)));
    CoderList coders;
    DecoderList decoders;
    DiscoverCodecs(SourceTreePath(u"data"_s), database, coders, decoders, true, u"WAV"_s);
    ASSERT_GT(coders.size(), size_t(CSettingsSet::kNewUserCoderIndex));
    CCoder& first = *coders[size_t(CSettingsSet::kNewUserCoderIndex)];
    EXPECT_EQ(first.GetName(), u"LAME MP3"_s);
    EXPECT_EQ(first.GetEntries().value(CSettingsSet::kNewUserPresetIndex).name,
              u"VBR V2 (~190 kbps)"_s);
    EXPECT_EQ(coders[0]->GetName(), u"FLAC"_s);
    EXPECT_EQ(coders[0]->GetEntries().value(0).name, u"Level 5 (default)"_s);

    const QMap<QString, QString> packages = {
        {u"flac"_s, u"flac"_s},          {u"lame"_s, u"lame"_s},
        {u"ffmpeg"_s, u"ffmpeg"_s},      {u"oggenc"_s, u"vorbis-tools"_s},
        {u"opusenc"_s, u"opus-tools"_s}, {u"cp"_s, u"coreutils"_s},
        {u"wavpack"_s, u"wavpack"_s}};
    for (size_t i = 0; i + 1 < coders.size(); ++i) {
        const CodecInstallation installation = InstallationOf(*coders[i]);
        EXPECT_TRUE(installation.installed) << coders[i]->GetName().toStdString();
        EXPECT_EQ(installation.package, packages.value(installation.program, u"?"_s))
            << coders[i]->GetName().toStdString() << ": " << installation.program.toStdString();
    }
}

#ifdef ORVEL_BINARY_DIR

// orvel-batch lists the missing coder with its package, refuses to convert with it in one line
// and writes nothing; a dry run still prints the command lines.
TEST(CodecInstallationTest, OrvelBatchListsAndRefusesACoderThatIsNotInstalled)
{
    QTemporaryDir root;
    WriteText(root.filePath(u"Base.xml"_s),
              u"<?xml version=\"1.0\"?>\n<Database Date=\"2026-01-01\">\n</Database>\n"_s);
    AddCoder(root.path(), u"Absent"_s, Wrapper("orvel-absent-encoder", "orvel-tools"));
    WriteBytes(root.filePath(u"in/a.wav"_s), "RIFF");
    const auto batch = [&](const QStringList& arguments) {
        QProcess process;
        process.start(QString::fromUtf8(ORVEL_BINARY_DIR) + u"/program/orvel-batch"_s,
                      QStringList{u"--program-folder"_s, root.path()} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return std::make_tuple(process.exitCode(),
                               QString::fromUtf8(process.readAllStandardOutput()),
                               QString::fromUtf8(process.readAllStandardError()));
    };
    const QString sentence = u"orvel-absent-encoder is not installed. Install the Debian package "
                             u"orvel-tools: sudo apt install orvel-tools"_s;

    const auto [listed, list, listErrors] = batch({u"--list-coders"_s});
    EXPECT_EQ(listed, 0) << listErrors.toStdString();
    EXPECT_TRUE(list.startsWith(u"Absent  ("_s + sentence + u")\n"_s)) << list.toStdString();

    const QString out = root.filePath(u"out"_s);
    const auto [refused, refusedOut, refusal] =
        batch({u"--coder"_s, u"Absent"_s, u"--output"_s, out, root.filePath(u"in"_s)});
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(refusal, u"orvel-batch: Absent cannot be used: "_s + sentence + u'\n');
    EXPECT_FALSE(QFileInfo::exists(out));

    const auto [dry, dryOut, dryErrors] = batch(
        {u"--coder"_s, u"Absent"_s, u"--output"_s, out, u"--dry-run"_s, root.filePath(u"in"_s)});
    EXPECT_TRUE(dryOut.contains(u"a.out"_s)) << dryOut.toStdString() << dryErrors.toStdString();
}

#endif
