#pragma once

#include <QDialog>

class CLanguagePack;

// The About box: the program icon, the version string, two line breaks and the legal notice,
// and an OK button. OK and Escape close it.
class CDlgAbout : public QDialog
{
    Q_OBJECT

public:
    CDlgAbout(const CLanguagePack& language, QWidget* owner);

    // The text the box shows.
    static QString Text(const CLanguagePack& language);
};
