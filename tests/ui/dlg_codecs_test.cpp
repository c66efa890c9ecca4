#include "codecs/codec_discovery.h"
#include "program_folder.h"
#include "settings/settings_set.h"
#include "ui/dlg_codecs.h"
#include "ui/list_view_ex.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

enum class Close
{
    OK,
    Escape,
    CloseBox
};

class CodecsWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ExecutableDatabase database;
        DiscoverCodecs(folder.Path(), database, coders, decoders, false, u"Decode only"_s);
        ASSERT_GE(coders.size(), 2u);
        ASSERT_FALSE(decoders.empty());
    }

    // Opens the window, reads it as the user sees it, clears "Show coders" and closes it.
    int OpenClearCodersAndClose(Close how, QStringList* kinds = nullptr, QString* count = nullptr)
    {
        CDlgCodecs window(EnglishPack(), settings, nullptr);
        window.AddCodecs(coders, decoders);
        WhenModalShown(u"codecsInfo"_s, [how, kinds, count](QWidget* dialog) {
            auto* list = dialog->findChild<CListViewEx*>(u"codecList"_s);
            for (int row = 0; kinds != nullptr && row < list->GetRowCount(); ++row) {
                *kinds << list->GetCellText(row, 0) + u':' + list->GetCellText(row, 1);
            }
            if (count != nullptr) {
                *count = dialog->findChild<QLabel*>(u"countText"_s)->text();
            }
            dialog->findChild<QCheckBox*>(u"showCoders"_s)->click();
            if (how == Close::OK) {
                dialog->findChild<QPushButton*>(u"okButton"_s)->click();
            } else if (how == Close::Escape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                dialog->close();
            }
        });
        return window.exec();
    }

    TestProgramFolder folder;
    CoderList coders;
    DecoderList decoders;
    CSettingsSet settings;
};

TEST_F(CodecsWindowTest, ListsDecodersBeforeCodersWithoutTheDecodeOnlyEntry)
{
    QStringList rows;
    QString count;
    OpenClearCodersAndClose(Close::OK, &rows, &count);
    QStringList expected;
    for (auto& decoder : decoders) {
        expected << u"Decoder:"_s + decoder->GetName();
    }
    for (size_t i = 0; i + 1 < coders.size(); ++i) {
        expected << u"Coder:"_s + coders[i]->GetName();
    }
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(count, u"Items listed: %1"_s.arg(expected.size()));

    settings.showDecoders = 0;
    rows.clear();
    OpenClearCodersAndClose(Close::OK, &rows, &count);
    EXPECT_EQ(rows, expected.mid(int(decoders.size())));
}

TEST_F(CodecsWindowTest, EscapeAndTheCloseBoxKeepTheCheckBoxesAndOkDoesNot)
{
    const struct
    {
        Close how;
        int result;
        int showCoders;
    } cases[] = {{Close::OK, CDlgCodecs::kResultOK, 1},
                 {Close::Escape, CDlgCodecs::kResultEscape, 0},
                 {Close::CloseBox, CDlgCodecs::kResultClosed, 0}};
    for (const auto& c : cases) {
        settings.showCoders = 1;
        EXPECT_EQ(OpenClearCodersAndClose(c.how), c.result);
        EXPECT_EQ(settings.showCoders, c.showCoders);
        EXPECT_EQ(settings.showDecoders, 1);
    }

    // Both boxes cleared: nothing is listed.
    settings.showDecoders = 0;
    QStringList rows;
    QString count;
    OpenClearCodersAndClose(Close::OK, &rows, &count);
    EXPECT_TRUE(rows.isEmpty());
    EXPECT_EQ(count, u"Items listed: 0"_s);
}

// Sizes are exact bytes; a wrapper script's row names the system program it runs and says
// whether that is installed.
TEST_F(CodecsWindowTest, ShowsExactSizesAndTheProgramBehindEachWrapperScript)
{
    const QByteArray wrapper = "#!/bin/sh\nprogram=$(command -v %1) || exit 127\n"
                               "exec \"$program\" \"$@\"\n";
    const struct
    {
        QString folder;
        QByteArray script;
        QString program; // a pattern of the program's cell
    } cases[] = {
        {u"Wrapped"_s, QByteArray(wrapper).replace("%1", "flac"), u"^flac \\d+\\.\\d+"_s},
        {u"Missing"_s, QByteArray(wrapper).replace("%1", "orvel-no-such-encoder"),
         u"^orvel-no-such-encoder: not installed$"_s},
        {u"Copy"_s, "#!/bin/sh\n# copies\nexec cp -f -- \"$1\" \"$2\"\n", u"^cp \\d+\\.\\d+"_s},
    };
    for (const auto& c : cases) {
        const QString base = u"Coders/"_s + c.folder + u'/';
        folder.WriteFile(base + u"Presets.ini"_s, "Default\r\n%in% %out%\r\n");
        folder.WriteFile(base + u"Extensions.ini"_s, "out\r\n");
        folder.WriteFile(base + u"run.name"_s, c.folder.toUtf8() + "\r\n");
        folder.WriteFile(base + u"run"_s, c.script);
        QFile(folder.Path(base + u"run"_s))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    CoderList allCoders;
    DecoderList allDecoders;
    DiscoverCodecs(folder.Path(), ExecutableDatabase(), allCoders, allDecoders, false,
                   u"Decode only"_s);
    CDlgCodecs window(EnglishPack(), settings, nullptr);
    window.AddCodecs(allCoders, allDecoders);
    window.show();
    auto* list = window.findChild<CListViewEx*>(u"codecList"_s);
    ASSERT_EQ(list->GetColumnCount(), 5);
    QMap<QString, QString> programs;
    const QRegularExpression exactSize(u"^\\d{1,3}( \\d{3})* B$"_s);
    for (int row = 0; row < list->GetRowCount(); ++row) {
        EXPECT_TRUE(exactSize.match(list->GetCellText(row, 2)).hasMatch())
            << list->GetCellText(row, 2).toStdString();
        programs[list->GetCellText(row, 1)] = list->GetCellText(row, 4);
    }
    EXPECT_TRUE(programs.value(u"FLAC"_s).isEmpty()); // a link to the program itself
    for (const auto& c : cases) {
        const QString shown = programs.value(c.folder);
        EXPECT_TRUE(QRegularExpression(c.program).match(shown).hasMatch()) << shown.toStdString();
    }
}

} // namespace
