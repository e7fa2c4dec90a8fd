#pragma once

// Loads Qt's own French translation whatever the user's locale, so that the toolkit's standard
// texts (folder picker, context menus, standard buttons) speak French, with our own French for
// the few texts it leaves in English. Returns false when Qt's translation file is not installed.
bool InstallFrenchTranslation();
