#pragma once

// Registers the style library's resources (the embedded styles); safe to call more than once.
void InitStyleResources();
