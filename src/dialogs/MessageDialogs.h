#pragma once

#include <cstdint>
#include <optional>
#include <QString>

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
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
    mrAll = 12,
    mrNoToAll = 13,
    mrYesToAll = 14
};

int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                      int helpContext, int x, int y, const QString& helpFileName);
int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                      int helpContext, int x, int y, const QString& helpFileName,
                      TMsgDlgBtn defaultButton);
// mtCustom, {mbOK}, centred; the result is dropped.
void ShowNotice(const QString& text);
// mtInformation, {mbOK}, centred.
void ShowInfo(const QString& text);
// The given kind, {mbOK, mbCancel}, default mbOK; true only for OK.
bool AskConfirm(const QString& text, TMsgDlgType kind);

// The French caption of a button ("&Oui", ..., "Fer&mer") and its result (mrNone for mbHelp,
// which keeps the dialog open).
QString ButtonCaption(TMsgDlgBtn button);
int ButtonResult(TMsgDlgBtn button);
// The caption of a kind: "Avertissement", "Erreur", "Informations", "Confirmer", and the
// application title for mtCustom.
QString KindCaption(TMsgDlgType kind);
// mbOK if in the set, else mbYes if in the set, else mbRetry if in the set, else none.
std::optional<TMsgDlgBtn> DefaultButtonFor(TMsgDlgButtons buttons);

// The dialog with a caption of the caller's choosing (the general error report: the error icon
// under the application title). No default button when defaultButton is empty or not in the set.
int ShowMessageDialogWithCaption(const QString& caption, const QString& text, TMsgDlgType kind,
                                 TMsgDlgButtons buttons, int x, int y,
                                 std::optional<TMsgDlgBtn> defaultButton);
