#pragma once

#include "program_folder.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <gtest/gtest.h>
#include <memory>

// The main window shown on a program folder of its own, its results beside their sources,
// with the notifier recorded: what the main window's tests share.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.WriteBesideSourcesSettings();
        window = std::make_unique<CDlgMain>(EnglishPack());
        ASSERT_TRUE(window->Initialise());
        window->show();
        c = window->Controls();
    }

    // Chooses a coder the way the user does: the selection changes, then is confirmed.
    void ChooseCoder(int index)
    {
        c.coderCombo->setCurrentIndex(index);
        c.coderCombo->activated(index);
    }

    void SelectOnly(const QList<int>& rows)
    {
        c.fileList->clearSelection();
        for (int row : rows) {
            c.fileList->SelectRow(row);
        }
    }

    TestProgramFolder folder;
    NotifierRecorder recorder;
    std::unique_ptr<CDlgMain> window;
    MainWindowControls c;
};
