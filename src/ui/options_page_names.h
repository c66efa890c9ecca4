#pragma once

#include "ui/options_page.h"

class QComboBox;
class QLabel;

// Names from tags: the pattern results are named by, with ready patterns and the last ones
// used in its drop-down, and names safe for FAT and exFAT.
class COptionsPageNames : public COptionsPage
{
public:
    explicit COptionsPageNames(CLanguagePack& language);

    QString GetTitle() const override;
    void OnOK() override;

    // The patterns offered in the drop-down before the recent ones.
    static QStringList ReadyPatterns();

protected:
    void BuildControls(QWidget* page) override;

private:
    void UpdatePreview();

    QComboBox* pattern = nullptr;
    QLabel* preview = nullptr;
};
