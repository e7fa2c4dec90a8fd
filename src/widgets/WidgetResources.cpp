#include "widgets/WidgetResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initWidgetsQrc()
{
    Q_INIT_RESOURCE(widgets);
}

void InitWidgetResources()
{
    static const bool done = (initWidgetsQrc(), true);
    Q_UNUSED(done);
}
