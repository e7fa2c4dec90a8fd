#include "dialogs/DialogResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initDialogsQrc()
{
    Q_INIT_RESOURCE(dialogs);
}

void InitDialogResources()
{
    static const bool done = (initDialogsQrc(), true);
    Q_UNUSED(done);
}
