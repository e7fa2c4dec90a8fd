#include "style/StyleResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initStyleQrc()
{
    Q_INIT_RESOURCE(style);
}

void InitStyleResources()
{
    static const bool done = (initStyleQrc(), true);
    Q_UNUSED(done);
}
