#pragma once

#include <exception>

// What the window's persistence goes through the window for, rather than setting controls
// directly: the scan mode keeps its bounds, and the main list's mask follows the mask field.
class PersistedWindow {
public:
    // -1 when no mode is selected.
    virtual int radioGroupIndex() const = 0;
    virtual void setRadioGroupIndex(int index) = 0;
    // The mask field's change handler; may raise when the list cannot be re-read.
    virtual void Edit1Change() = 0;
    // One value could not be restored; the others are restored all the same.
    virtual void restoreFailed(const std::exception& error) = 0;

protected:
    ~PersistedWindow() = default;
};
