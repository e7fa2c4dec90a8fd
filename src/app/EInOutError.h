#pragma once

#include "app/Exception.h"

// An I/O failure keyed by the platform error code the French messages are indexed by.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int code() const noexcept { return m_code; }

    // The French text for a platform code: 2, 3, 4, 5, 100, 101, 106, else "Erreur E/S %d".
    static QString messageForCode(int code);
    // errno onto the platform codes; forFolder chooses 3 for ENOENT on the way to a folder.
    static int codeFromErrno(int err, bool forFolder);
    // The code for a folder that cannot be entered: 2 when only its last element is missing
    // (the folder that holds it exists), 3 when a folder on the way is missing.
    static int codeForFolder(int err, const QByteArray& folder);
    // The system's own sentence for an errno value, in French for the common ones.
    static QString systemText(int err);

private:
    int m_code;
};
