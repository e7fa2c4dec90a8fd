#pragma once

class PersistedWindow;
class QCheckBox;
class QLineEdit;
class QWidget;
class TJvDirectoryEdit;
class TSplitter;

// What the main window remembers from one run to the next: its geometry, the folder, the mask,
// the two modes and the heights of the three lower panes.
class WindowPersistence {
public:
    // The window's controls whose values are kept; they outlive the persistence.
    struct Controls {
        QWidget* form = nullptr;
        TJvDirectoryEdit* folderField = nullptr;
        QLineEdit* maskField = nullptr;
        QCheckBox* automaticMode = nullptr;
        // Each sets the height of the pane below it: the candidate list, the candidate's text,
        // the list of duplicates handled.
        TSplitter* candidateListSplitter = nullptr;
        TSplitter* candidatePaneSplitter = nullptr;
        TSplitter* duplicatesSplitter = nullptr;
    };

    WindowPersistence(PersistedWindow& window, const Controls& controls);

    // Restores every value in order; an error in one step is reported and the others still
    // restored, so that the next save never overwrites the user's settings with defaults.
    void Restore();
    // Writes every value in order, each in its own open-write-close cycle; raises at the first
    // value that cannot be written.
    void Save();

private:
    // Runs one step of Restore; an error leaving it goes to the window.
    template <typename Step> void restoreStep(Step&& step);

    PersistedWindow& m_window;
    Controls m_controls;
};
