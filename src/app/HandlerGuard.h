#pragma once

#include "dialogs/ErrorReport.h"

#include <exception>

// Runs an event handler and hands any error that leaves it to the general error report, so that
// no exception unwinds through the toolkit's event delivery; the window then goes on.
template <typename Handler> void RunHandler(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ReportException(e);
    }
}
