#pragma once

#include <QDialog>

class CLanguagePack;

// The About box: the program icon, the version string, the licence and the legal notice, each
// after two line breaks, and an OK button. OK and Escape close it.
class CDlgAbout : public QDialog
{
    Q_OBJECT

public:
    CDlgAbout(const CLanguagePack& language, QWidget* owner);

    // The text the box shows.
    static QString Text(const CLanguagePack& language);
};
