#include "app/FrenchTranslation.h"
#include "app/TForm1.h"
#include "app/TwindropApplication.h"
#include "style/TStyleManager.h"

int main(int argc, char** argv)
{
    TwindropApplication app(argc, argv);
    InstallFrenchTranslation();
    TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), true);
    TForm1 form;
    form.show();
    return app.exec();
}
