#include "foundation/error_box.h"
#include "support/notifier_recorder.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ErrorBoxTest, AnEmptyCaptionStaysEmptyAndLongMessagesAreCut)
{
    NotifierRecorder recorder;

    ShowLastError(QString(), QString(2000, u'x'));
    // Without a message of its own, the box says what the system's last error was.
    errno = ENOENT;
    ShowLastError(u"Fehler"_s);

    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages()[0].caption.isEmpty());
    EXPECT_EQ(recorder.Messages()[0].text.size(), 1023); // the system's message buffer
    EXPECT_EQ(recorder.Messages()[1].text, QString::fromLocal8Bit(std::strerror(ENOENT)));
}
