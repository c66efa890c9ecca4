#include "foundation/error_box.h"
#include "support/notifier_recorder.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ErrorBoxTest, ErrorsCarryTheCaptionTheirCallerHandsThem)
{
    NotifierRecorder recorder;

    ShowError(u"Fehler"_s, u"Database file Base.xml failed to load"_s);
    errno = ENOENT;
    ShowLastError(u"Fehler"_s);
    ShowLastError(u"Fehler"_s, u"Plugins/x.so: invalid ELF header"_s);

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

TEST(ErrorBoxTest, AnEmptyCaptionStaysEmptyAndLongMessagesAreCut)
{
    NotifierRecorder recorder;

    ShowLastError(QString(), QString(2000, u'x'));

    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages()[0].caption.isEmpty());
    EXPECT_EQ(recorder.Messages()[0].text.size(), 1023); // the system's message buffer
}
