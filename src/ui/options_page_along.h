#pragma once

#include "ui/options_page.h"

class QLineEdit;
class QSpinBox;

// Covers and files along: the source folder's cover copied beside the results, pictures made
// small for players, and the patterns of other files that go along.
class COptionsPageAlong : public COptionsPage
{
public:
    explicit COptionsPageAlong(CLanguagePack& language);

    QString GetTitle() const override;
    void OnOK() override;

protected:
    void BuildControls(QWidget* page) override;

private:
    QSpinBox* pictureSize = nullptr;
    QLineEdit* patterns = nullptr;
};
