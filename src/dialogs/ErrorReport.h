#pragma once

#include <exception>
#include <QString>

// The application's general error report: the message (with a full stop added when its last
// character comes after "." in code order) in an error box with one OK button, captioned with the
// application title.
void ShowErrorReport(const QString& message);
// The message as the report shows it.
QString ErrorReportText(const QString& message);
// The report for a caught exception: twindrop's Exception shows its message(), std::bad_alloc
// "Mémoire insuffisante", any other std::exception its what() (UTF-8).
void ReportException(const std::exception& error);
