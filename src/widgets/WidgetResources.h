#pragma once

// Registers the widgets library's resources (icons); safe to call more than once.
void InitWidgetResources();
