#include "app/TwindropApplication.h"

#include "dialogs/ErrorReport.h"

TwindropApplication::TwindropApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TwindropApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportException(error);
    } catch (...) {
        // Not one of ours nor a standard one: nothing to show but the fact.
        ShowErrorReport(QStringLiteral("Erreur inconnue"));
    }
    return false;
}
