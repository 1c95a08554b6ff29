#pragma once
#include "TAboutForm.h"

// The program's About window.
class TAbout : public TAboutForm
{
    Q_OBJECT
public:
    explicit TAbout(QWidget *mainWindow = nullptr);

protected:
    void FormShow() override;
};
