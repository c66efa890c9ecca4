#pragma once

#include "ui/options_page.h"

class CPluginList;

// The loaded plugins: name, version, file and size of each, in load order until sorted. The
// page only shows; it writes nothing.
class COptionsPagePlugins : public COptionsPage
{
public:
    COptionsPagePlugins(CLanguagePack& language, const CPluginList& plugins);

    QString GetTitle() const override;

protected:
    void BuildControls(QWidget* page) override;

private:
    const CPluginList& plugins;
};
