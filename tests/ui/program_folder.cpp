#include "program_folder.h"

#include "support/test_paths.h"
#include "support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TestProgramFolder::TestProgramFolder() : TestProgramFolder(Options{})
{
}

TestProgramFolder::TestProgramFolder(Options options)
{
    EXPECT_TRUE(dir.isValid());
    QDir root(dir.path());
    root.mkpath(u"Music"_s);
    root.mkpath(u"home"_s);
    home = std::make_unique<CEnvironmentScope>("HOME", QFile::encodeName(Path(u"home"_s)));
    configHome = std::make_unique<CEnvironmentScope>("XDG_CONFIG_HOME",
                                                     QFile::encodeName(Path(u"home/.config"_s)));
    root.mkpath(u"Codecs"_s);
    if (options.withDatabase) {
        WriteFile(u"Base.xml"_s, "<?xml version=\"1.0\"?>\n<Database Date=\"2026-01-01\">\n"
                                 "</Database>\n");
    }
    if (options.withLanguage) {
        root.mkpath(u"Languages"_s);
        EXPECT_TRUE(QFile::copy(SourceTreePath(u"data/Languages/English.json"_s),
                                Path(u"Languages/English.json"_s)));
    }
    AddCoder(u"FLAC"_s, u"flac"_s, u"FLAC"_s,
             {u"Level 5"_s, u"-f -s -5 -o %out% %in%"_s, u"Level 0"_s, u"-f -s -0 -o %out% %in%"_s},
             u"flac"_s);
    AddCoder(
        u"LAME MP3"_s, u"lame"_s, u"LAME MP3"_s,
        {u"VBR V5"_s, u"--quiet -V 5 %in% %out%"_s, u"CBR 128"_s, u"--quiet -b 128 %in% %out%"_s},
        u"mp3"_s);
    AddCoder(u"Ogg Vorbis"_s, u"oggenc"_s, u"Ogg Vorbis"_s,
             {u"Quality 3"_s, u"-Q -q 3 -o %out% %in%"_s}, u"ogg"_s);
    AddDecoder(u"FLAC"_s, u"flac"_s, u"flac"_s, u"-d -f -s -o %out% %in%"_s);

    previousCurrent = QDir::currentPath();
    QDir::setCurrent(dir.path());
}

TestProgramFolder::~TestProgramFolder()
{
    QDir::setCurrent(previousCurrent);
}

QString TestProgramFolder::Path(const QString& relative) const
{
    return relative.isEmpty() ? dir.path() : dir.filePath(relative);
}

void TestProgramFolder::WriteFile(const QString& relative, const QByteArray& content) const
{
    QDir(dir.path()).mkpath(QFileInfo(Path(relative)).path());
    QFile file(Path(relative));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void TestProgramFolder::WriteBesideSourcesSettings() const
{
    WriteFile(u"Settings.ini"_s, "[Settings.General]\r\nOutputFolderSameAsOriginal=1\r\n"
                                 "KeepFolderStructure=0\r\n");
}

void TestProgramFolder::AddCoder(const QString& folder, const QString& program, const QString& name,
                                 const QStringList& presetLines, const QString& extension)
{
    const QString base = u"Coders/"_s + folder + u'/';
    QByteArray presets;
    QByteArray extensions;
    for (const QString& line : presetLines) {
        presets += line.toUtf8() + "\r\n";
    }
    for (qsizetype i = 0; i < presetLines.size() / 2; ++i) {
        extensions += extension.toUtf8() + "\r\n";
    }
    WriteFile(base + u"Presets.ini"_s, presets);
    WriteFile(base + u"Extensions.ini"_s, extensions);
    WriteFile(base + u"Info.txt"_s,
              name.toUtf8() + " encoder\r\n" + name.toUtf8() + "\r\n2026-01-02\r\n");
    WriteFile(base + program + u".name"_s, name.toUtf8() + "\r\n");
    EXPECT_TRUE(QFile::link(u"/usr/bin/"_s + program, Path(base + program)));
}

void TestProgramFolder::AddDecoder(const QString& folder, const QString& program,
                                   const QString& extension, const QString& commandLine)
{
    const QString base = u"Decoders/"_s + folder + u'/';
    WriteFile(base + u"Extensions.ini"_s, extension.toUtf8() + "\r\n");
    WriteFile(base + u"Format.ini"_s, commandLine.toUtf8() + "\r\n");
    EXPECT_TRUE(QFile::link(u"/usr/bin/"_s + program, Path(base + program)));
}

QString TestProgramFolder::MakeWav(const QString& name) const
{
    const QString relative = u"Music/"_s + name;
    WriteFile(relative, ToneWavBytes(44100, 2, 44100));
    return Path(relative);
}

QString TestProgramFolder::MakeFlac(const QString& name) const
{
    const QString wav = MakeWav(name + u".source.wav"_s);
    const QString flac = Path(u"Music/"_s + name);
    QProcess encoder;
    encoder.start(u"/usr/bin/flac"_s, {u"-s"_s, u"-f"_s, u"-o"_s, flac, wav});
    EXPECT_TRUE(encoder.waitForFinished(30000));
    EXPECT_EQ(encoder.exitCode(), 0);
    QFile::remove(wav);
    return flac;
}
