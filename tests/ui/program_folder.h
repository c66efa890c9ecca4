#pragma once

#include "support/environment_scope.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A program folder in a temporary directory with real coders and decoders (links to the
// installed encoders), the shipped English pack and a database; the current directory while
// the object lives, as the program expects.
class TestProgramFolder
{
public:
    struct Options
    {
        bool withDatabase = true;
        bool withLanguage = true;
    };

    TestProgramFolder();
    explicit TestProgramFolder(Options options);
    ~TestProgramFolder();
    TestProgramFolder(const TestProgramFolder&) = delete;
    TestProgramFolder& operator=(const TestProgramFolder&) = delete;

    QString Path(const QString& relative = {}) const;
    void WriteFile(const QString& relative, const QByteArray& content) const;
    // A Settings.ini of a user who writes results beside their sources with the first coder, as
    // the tests of other things expect; without one, a first start writes to ~/Music/orvel.
    void WriteBesideSourcesSettings() const;

    // Sources in the "Music" folder: a WAV of about a second, and FLAC encoded from it.
    QString MakeWav(const QString& name) const;
    QString MakeFlac(const QString& name) const;

    // The coders in discovery order, the decode-only entry not counted.
    static QStringList CoderNames()
    {
        return {QStringLiteral("FLAC"), QStringLiteral("LAME MP3"), QStringLiteral("Ogg Vorbis")};
    }

private:
    void AddCoder(const QString& folder, const QString& program, const QString& name,
                  const QStringList& presetLines, const QString& extension);
    void AddDecoder(const QString& folder, const QString& program, const QString& extension,
                    const QString& commandLine);

    QTemporaryDir dir;
    // A home of the test's own: a first start's results never land in the real ~/Music.
    std::unique_ptr<CEnvironmentScope> home;
    std::unique_ptr<CEnvironmentScope> configHome;
    QString previousCurrent;
};
