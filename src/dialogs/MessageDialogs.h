#pragma once

#include <QString>
#include <cstdint>

// Kinds of the message dialog, in the order of their values.
enum TMsgDlgType { mtWarning = 0, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons, in the order they stand in the dialog from left to right.
enum TMsgDlgBtn {
    mbYes = 0,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbClose
};

// A set of buttons: bit n for button value n ({mbOK, mbCancel} is 12).
using TMsgDlgButtons = std::uint16_t;
constexpr TMsgDlgButtons buttonBit(TMsgDlgBtn b)
{
    return TMsgDlgButtons(1u << unsigned(b));
}
constexpr TMsgDlgButtons operator|(TMsgDlgBtn a, TMsgDlgBtn b)
{
    return TMsgDlgButtons(buttonBit(a) | buttonBit(b));
}
constexpr TMsgDlgButtons operator|(TMsgDlgButtons a, TMsgDlgBtn b)
{
    return TMsgDlgButtons(a | buttonBit(b));
}

// Results (a button's result, 2 when the dialog is closed from its title bar).
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                    mrYes = 6, mrNo = 7, mrClose = 8, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14 };

int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext,
                      int x, int y, const QString& helpFileName);
int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext,
                      int x, int y, const QString& helpFileName, TMsgDlgBtn defaultButton);
// mtCustom, {mbOK}, centred; the result is dropped.
void ShowNotice(const QString& text);
// mtInformation, {mbOK}, centred.
void ShowInfo(const QString& text);
// The given kind, {mbOK, mbCancel}, default mbOK; true only for OK.
bool AskConfirm(const QString& text, TMsgDlgType kind);
