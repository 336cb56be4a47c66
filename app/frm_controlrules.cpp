// The rules by which the window's controls enable, disable, check and clear
// one another. A radio button's rule runs when it becomes checked (clicked or
// checked by the program); a check box's rule runs on every change.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "platform/uiservices.h"

void Tfrmmain::optSizeIgnoreClick()
{
    // The typed size stays in the disabled box for when a test is chosen again.
    txtSizeBytes->setEnabled(false);
    lblSizeBytes->setEnabled(false);
    lblSizeValue->setEnabled(false);
}

void Tfrmmain::optSizeGreaterClick()
{
    txtSizeBytes->setEnabled(true);
    lblSizeBytes->setEnabled(true);
    lblSizeValue->setEnabled(true);
}

void Tfrmmain::optSizeLessClick() { optSizeGreaterClick(); }

void Tfrmmain::optSizeEqualClick() { optSizeGreaterClick(); }

void Tfrmmain::optDateIgnoreClick() { EnableDateParameters(false); }

void Tfrmmain::optDateAccessedClick() { EnableDateParameters(true); }

void Tfrmmain::optDateModifiedClick() { EnableDateParameters(true); }

void Tfrmmain::optDateCreationClick() { EnableDateParameters(true); }

void Tfrmmain::optDateBeforeClick()
{
    dtpBefore->setEnabled(true);
    dtpAfter->setEnabled(false);
    dtpExact->setEnabled(false);
}

void Tfrmmain::optDateAfterClick()
{
    dtpBefore->setEnabled(false);
    dtpAfter->setEnabled(true);
    dtpExact->setEnabled(false);
}

void Tfrmmain::optDateExactClick()
{
    dtpBefore->setEnabled(false);
    dtpAfter->setEnabled(false);
    dtpExact->setEnabled(true);
}

void Tfrmmain::optDateBetweenClick()
{
    // Between has no picker of its own: Before gives the first day, After the last.
    dtpBefore->setEnabled(true);
    dtpAfter->setEnabled(true);
    dtpExact->setEnabled(false);
}

void Tfrmmain::chkOutputResultsClick() { txtOutputFilename->setEnabled(chkOutputResults->isChecked()); }

void Tfrmmain::chkAppendClick()
{
    // Clearing it leaves the output as it is.
    if (chkAppend->isChecked())
        chkOutputResults->setChecked(true);
}

void Tfrmmain::chkCommandFileClick()
{
    if (chkCommandFile->isChecked())
        chkOutputResults->setChecked(true);
}

void Tfrmmain::EnableDateParameters(bool enabled)
{
    // After any choice of date type no parameter is chosen and no picker is
    // usable until the user picks a parameter.
    for (RadioButton* button : {optDateBefore, optDateAfter, optDateBetween, optDateExact})
        button->setEnabled(enabled);
    for (RadioButton* button : {optDateBefore, optDateAfter, optDateBetween, optDateExact})
        button->setChecked(false);
    for (DatePicker* picker : {dtpBefore, dtpAfter, dtpExact})
        picker->setEnabled(false);
}

void Tfrmmain::cmdAboutClick()
{
    if (frmAbout)
        uiServices().execModal(*frmAbout);
}

void Tfrmmain::cmdHelpClick() { uiServices().showHelp(this, HelpFile, 1); }
