#include "dialogs/ErrorReport.h"

#include "base/Errors.h"
#include "dialogs/AppTitle.h"
#include "dialogs/MessageDialogs.h"

#include <cstdio>
#include <new>
#include <QApplication>

QString ErrorReportText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorReport(const QString& message)
{
    const QString text = ErrorReportText(message);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No window can be shown (no QApplication yet or any more).
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    ShowMessageDialogWithCaption(ApplicationTitle(), text, mtError, buttonBit(mbOK), -1, -1,
                                 DefaultButtonFor(buttonBit(mbOK)));
}

void ReportException(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const base::Exception*>(&error))
        ShowErrorReport(own->message());
    else if (dynamic_cast<const std::bad_alloc*>(&error))
        ShowErrorReport(QStringLiteral("Mémoire insuffisante"));
    else
        ShowErrorReport(QString::fromUtf8(error.what()));
}
