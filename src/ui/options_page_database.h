#pragma once

#include "ui/options_page.h"

// The executable database: how many records it holds and its date, and whether executables
// are also recognised by their file name.
class COptionsPageDatabase : public COptionsPage
{
public:
    COptionsPageDatabase(CLanguagePack& language, int recordCount, const QString& date);

    QString GetTitle() const override;

protected:
    void BuildControls(QWidget* page) override;

private:
    int recordCount;
    QString date;
};
