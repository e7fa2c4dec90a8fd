#include "app/StartUp.h"

#include "app/FrenchTranslation.h"
#include "app/TForm1.h"
#include "dialogs/ErrorReport.h"
#include "style/TStyleManager.h"

#include <QApplication>

#include <exception>

int RunTwindrop()
{
    InstallFrenchTranslation();
    try {
        TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true);
    } catch (const std::exception& error) {
        // The program's own data is damaged: say so rather than start half-styled.
        ReportException(error);
        return 1;
    }
    TForm1 form;
    form.show();
    return QApplication::exec();
}
