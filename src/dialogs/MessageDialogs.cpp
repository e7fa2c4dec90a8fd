#include "dialogs/MessageDialogs.h"

// Placeholder until the dialog is built: answers as if the user pressed the default button.
int ShowMessageDialog(const QString&, TMsgDlgType, TMsgDlgButtons buttons, int, int, int,
                      const QString&)
{
    return (buttons & buttonBit(mbOK)) ? mrOk : mrYes;
}

int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext,
                      int x, int y, const QString& helpFileName, TMsgDlgBtn)
{
    return ShowMessageDialog(text, kind, buttons, helpContext, x, y, helpFileName);
}

void ShowNotice(const QString& text)
{
    ShowMessageDialog(text, mtCustom, buttonBit(mbOK), 0, -1, -1, QString());
}

void ShowInfo(const QString& text)
{
    ShowMessageDialog(text, mtInformation, buttonBit(mbOK), 0, -1, -1, QString());
}

bool AskConfirm(const QString& text, TMsgDlgType kind)
{
    return ShowMessageDialog(text, kind, mbOK | mbCancel, 0, -1, -1, QString(), mbOK) == mrOk;
}
