#include "engine/error_box.h"
#include "extensions/language_pack.h"
#include "support/notifier_recorder.h"

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Loads a pack with the given JSON into the program-wide language object for one test.
class ProgramLanguage
{
public:
    explicit ProgramLanguage(const QByteArray& json)
    {
        QFile file(folder.filePath(u"English.json"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write(json);
        file.close();
        CLanguagePack::Instance().LoadLanguage(file.fileName(), u"English"_s);
    }
    ~ProgramLanguage() { CLanguagePack::Instance().Unload(); }

private:
    QTemporaryDir folder;
};

} // namespace

TEST(ErrorBoxTest, ErrorsCarryTheLanguagesErrorCaption)
{
    ProgramLanguage language(R"({"strings": {"119": "Fehler"}})");
    NotifierRecorder recorder;

    ShowError(u"Database file Base.xml failed to load"_s);
    errno = ENOENT;
    ShowLastError();
    ShowLastError(u"Plugins/x.so: invalid ELF header"_s);

    const QList<NotifierRecorder::Message> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 3);
    for (const NotifierRecorder::Message& message : messages) {
        EXPECT_EQ(message.icon, INotifier::Icon::Error);
        EXPECT_EQ(message.caption, u"Fehler"_s);
    }
    EXPECT_EQ(messages[0].text, u"Database file Base.xml failed to load"_s);
    EXPECT_EQ(messages[1].text, QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_EQ(messages[2].text, u"Plugins/x.so: invalid ELF header"_s);
}

TEST(ErrorBoxTest, APackWithoutTheCaptionGivesAnEmptyCaption)
{
    ProgramLanguage language(R"({"strings": {"120": "Warning"}})");
    NotifierRecorder recorder;

    ShowLastError(QString(2000, u'x'));

    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages()[0].caption.isEmpty());
    EXPECT_EQ(recorder.Messages()[0].text.size(), 1023); // the system's message buffer
}
