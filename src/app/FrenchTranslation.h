#pragma once

// Loads Qt's own French translation whatever the user's locale, so that the toolkit's standard
// texts (folder picker, context menus, standard buttons) speak French. Returns false when the
// translation file is not installed.
bool InstallFrenchTranslation();
