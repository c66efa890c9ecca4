#include "foundation/console_log.h"
#include "ui/dlg_console.h"
#include "ui_test_support.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString Text(QWidget* window)
{
    return window->findChild<QPlainTextEdit*>(u"log"_s)->toPlainText();
}

TEST(ConsoleWindowTest, ShowsTheLogAsItIsAtEachShowing)
{
    ConsoleLog log;
    CDlgConsole window(EnglishPack(), log, nullptr);
    window.show();
    EXPECT_EQ(Text(&window), QString());
    // Measured, not asked: some monospaced fonts do not declare their spacing.
    const QFontMetrics metrics(window.findChild<QPlainTextEdit*>(u"log"_s)->font());
    EXPECT_EQ(metrics.horizontalAdvance(u"iiii"_s), metrics.horizontalAdvance(u"WWWW"_s));

    log.Append(u"orvel is ready."_s);
    log.Append(u"Start-up took 12 ms."_s);
    EXPECT_EQ(Text(&window), QString());
    window.hide();
    window.show();
    EXPECT_EQ(Text(&window), u"orvel is ready.\nStart-up took 12 ms.\n"_s);
}

// The command opens one window; a second use brings it to the front with the newer lines.
// Close and Escape end it, and the next command makes a new one.
TEST(ConsoleWindowTest, TheCommandKeepsOneWindow)
{
    QPointer<CDlgConsole> console;
    CDlgConsole* first = CDlgConsole::ShowOrRaise(console, EnglishPack());
    EXPECT_FALSE(first->isModal());
    ConsoleLog::Instance().Append(u"a line added later"_s);
    EXPECT_FALSE(Text(first).contains(u"a line added later"_s));
    EXPECT_EQ(CDlgConsole::ShowOrRaise(console, EnglishPack()), first);
    EXPECT_TRUE(Text(first).endsWith(u"a line added later\n"_s));

    first->findChild<QPushButton*>(u"closeButton"_s)->click();
    EXPECT_TRUE(QTest::qWaitFor([&console] { return console.isNull(); }));
    CDlgConsole* second = CDlgConsole::ShowOrRaise(console, EnglishPack());
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&console] { return console.isNull(); }));
}

} // namespace
