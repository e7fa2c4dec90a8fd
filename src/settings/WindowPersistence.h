#pragma once

class TForm1;

// What the main window remembers from one run to the next: its geometry, the folder, the mask,
// the two modes and the heights of the three lower panes.
class WindowPersistence {
public:
    explicit WindowPersistence(TForm1& form);

    // Restores every value in order; an error in one step is reported and the others still
    // restored, so that the next save never overwrites the user's settings with defaults.
    void Restore();
    // Writes every value in order, each in its own open-write-close cycle; raises at the first
    // value that cannot be written.
    void Save();

private:
    TForm1& m_form;
};
