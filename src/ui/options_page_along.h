#pragma once

#include "ui/options_page.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

// Covers and files along: the source folder's cover copied beside the results, pictures made
// small for players, the patterns of other files that go along, and the copy rules that spare
// a source its decoding and encoding.
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
    QComboBox* lossyRule = nullptr;
};
