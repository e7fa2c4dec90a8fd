#pragma once

#include "app/Exception.h"
#include "dialogs/ErrorReport.h"

#include <exception>
#include <new>

// Runs an event handler and hands any error that leaves it to the general error report, so that
// no exception unwinds through the toolkit's event delivery; the window then goes on.
template <typename Handler> void RunHandler(Handler&& handler)
{
    try {
        handler();
    } catch (const Exception& e) {
        ShowErrorReport(e.message());
    } catch (const std::bad_alloc&) {
        ShowErrorReport(QStringLiteral("Mémoire insuffisante"));
    } catch (const std::exception& e) {
        ShowErrorReport(QString::fromUtf8(e.what()));
    }
}
