#include "dialogs/MessageDialogs.h"

#include "dialogs/AppTitle.h"
#include "dialogs/TMessageForm.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>

QString ButtonCaption(TMsgDlgBtn button)
{
    switch (button) {
    case mbYes:
        return QStringLiteral("&Oui");
    case mbNo:
        return QStringLiteral("&Non");
    case mbOK:
        return QStringLiteral("OK");
    case mbCancel:
        return QStringLiteral("Annuler");
    case mbAbort:
        return QStringLiteral("A&bandonner");
    case mbRetry:
        return QStringLiteral("&Réessayer");
    case mbIgnore:
        return QStringLiteral("&Ignorer");
    case mbAll:
        return QStringLiteral("&Tous");
    case mbNoToAll:
        return QStringLiteral("Non &pour tout");
    case mbYesToAll:
        return QStringLiteral("O&ui pour tout");
    case mbHelp:
        return QStringLiteral("&Aide");
    case mbClose:
        return QStringLiteral("Fer&mer");
    }
    return QString();
}

int ButtonResult(TMsgDlgBtn button)
{
    switch (button) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        return mrNone;
    case mbClose:
        return mrClose;
    }
    return mrNone;
}

QString KindCaption(TMsgDlgType kind)
{
    switch (kind) {
    case mtWarning:
        return QStringLiteral("Avertissement");
    case mtError:
        return QStringLiteral("Erreur");
    case mtInformation:
        return QStringLiteral("Informations");
    case mtConfirmation:
        return QStringLiteral("Confirmer");
    case mtCustom:
        break;
    }
    return ApplicationTitle();
}

std::optional<TMsgDlgBtn> DefaultButtonFor(TMsgDlgButtons buttons)
{
    for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry}) {
        if (buttons & buttonBit(b))
            return b;
    }
    return std::nullopt;
}

int ShowMessageDialogWithCaption(const QString& caption, const QString& text, TMsgDlgType kind,
                                 TMsgDlgButtons buttons, int x, int y,
                                 std::optional<TMsgDlgBtn> defaultButton)
{
    QWidget* owner = QApplication::activeWindow();
    QPointer<TMessageForm> form =
        new TMessageForm(caption, text, kind, buttons, defaultButton, owner);

    const QScreen* primary = QGuiApplication::primaryScreen();
    const QScreen* screen = owner ? owner->screen() : primary;
    const QSize size = form->size();
    QPoint pos;
    if (x < 0 && y < 0) {
        const QRect area = screen ? screen->availableGeometry() : QRect();
        pos = QPoint(area.left() + (area.width() - size.width()) / 2,
                     area.top() + (area.height() - size.height()) / 2);
    } else {
        const QRect area = primary ? primary->geometry() : QRect();
        pos = QPoint(x >= 0 ? x : area.left() + (area.width() - size.width()) / 2,
                     y >= 0 ? y : area.top() + (area.height() - size.height()) / 2);
    }
    form->move(pos);

    const int result = form->exec();
    // The owner may have taken the dialog with it while it was open.
    if (!form)
        return mrCancel;
    delete form;
    return result;
}

int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int, int x,
                      int y, const QString&)
{
    return ShowMessageDialogWithCaption(KindCaption(kind), text, kind, buttons, x, y,
                                        DefaultButtonFor(buttons));
}

int ShowMessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int, int x,
                      int y, const QString&, TMsgDlgBtn defaultButton)
{
    return ShowMessageDialogWithCaption(KindCaption(kind), text, kind, buttons, x, y,
                                        defaultButton);
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
