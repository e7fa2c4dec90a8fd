#pragma once

// The program once the application object exists: the toolkit's French texts, the application
// style, the main window and the message loop. Returns the process's exit code; a style that is
// embedded but cannot be loaded is reported and ends the program with 1 before any window shows.
int RunTwindrop();
