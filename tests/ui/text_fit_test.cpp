#include "extensions/plugin.h"
#include "foundation/console_log.h"
#include "program_folder.h"
#include "run/core.h"
#include "settings/settings_set.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_about.h"
#include "ui/dlg_codecs.h"
#include "ui/dlg_console.h"
#include "ui/dlg_job_control.h"
#include "ui/dlg_main.h"
#include "ui/options_command.h"
#include "ui/options_dialog.h"
#include "ui_test_support.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString Describe(const QWidget* widget, const QString& text)
{
    return widget->window()->objectName() + u" > "_s +
           QString::fromLatin1(widget->metaObject()->className()) + u" \""_s + text + u'"';
}

// The texts of every visible label, button and group title below window that do not fit the
// room the layout gave them.
QStringList ClippedTexts(QWidget* window)
{
    QStringList clipped;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible()) {
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            const bool fits = label->wordWrap()
                                  ? label->heightForWidth(label->width()) <= label->height()
                                  : label->minimumSizeHint().width() <= label->width();
            if (!fits) {
                clipped << Describe(label, label->text());
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && !button->text().isEmpty() &&
                   button->sizeHint().width() > button->width()) {
            clipped << Describe(button, button->text());
        } else if (auto* group = qobject_cast<QGroupBox*>(widget);
                   group && group->minimumSizeHint().width() > group->width()) {
            clipped << Describe(group, group->title());
        }
    }
    return clipped;
}

QStringList ShownAndChecked(QWidget* window)
{
    window->show();
    QApplication::processEvents();
    return ClippedTexts(window);
}

// Every window of the program, laid out with each shipped pack: no text may be cut short.
class TextFitTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        const QString name = QString::fromLatin1(GetParam());
        ASSERT_TRUE(
            language.LoadLanguage(SourceTreePath(u"data/Languages/"_s + name + u".json"_s), name));
    }
    void TearDown() override { EnglishPack(); }

    CLanguagePack& language = CLanguagePack::Instance();
    TestProgramFolder folder;
    NotifierRecorder recorder;
};

TEST_P(TextFitTest, EveryWindowAndPageFitsItsTexts)
{
    CDlgMain main(language);
    ASSERT_TRUE(main.Initialise());
    QStringList clipped = ShownAndChecked(&main);

    CSettingsSet settings;
    CPluginList plugins;
    COptionsDialog options(language, settings, nullptr);
    AddProgramPages(options, language, {plugins, 42, u"2026-03-01"_s});
    options.show();
    for (int page = 0; page < options.PageCount(); ++page) {
        options.ShowPage(page);
        clipped << ShownAndChecked(&options);
    }

    CDlgCodecs codecs(language, settings, nullptr);
    CCore core;
    int priority = 1;
    CDlgJobControl jobs(language, priority, core, nullptr);
    CDlgConsole console(language, ConsoleLog::Instance(), nullptr);
    CDlgAbout about(language, nullptr);
    for (QWidget* window : std::initializer_list<QWidget*>{&codecs, &jobs, &console, &about}) {
        clipped << ShownAndChecked(window);
    }
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Packs, TextFitTest, testing::Values("English", "german"));

} // namespace
