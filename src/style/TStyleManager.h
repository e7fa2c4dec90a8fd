#pragma once

#include <QString>
#include <QStringList>

// The application's styles: the embedded ones (resources under ":/VCLSTYLE/"), discovered once,
// and the active one. Before any request the system style is active.
class TStyleManager {
public:
    // Makes the named style active (name compared ignoring case); false when no style has it,
    // after showing "Style '%s' non trouvé" when showErrorDialog. Throws Exception when an
    // embedded style cannot be loaded.
    static bool TrySetStyle(const QString& name, bool showErrorDialog = true);

    // The name of the active style; systemStyleName() while the system style is active.
    static QString activeStyleName();
    static bool isSystemStyleActive();
    static QString systemStyleName() { return QStringLiteral("Windows"); }
    // Names of the discovered styles, in discovery order.
    static QStringList styleNames();
    // How many times a style was applied to the application (each one redraws every window).
    static int activationCount();

    // Back to the system style with discovery still to be done; for tests.
    static void resetForTesting();

private:
    static void discover();
};
