#include "dialogs/ErrorReport.h"

#include <cstdio>

QString ErrorReportText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorReport(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(ErrorReportText(message)));
}
