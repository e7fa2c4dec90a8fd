#pragma once

// Registers the dialogs' resources (the message icons); safe to call more than once.
void InitDialogResources();
