#pragma once

#include <QString>
#include <QtGlobal>

// What a scan asks of whoever shows it: the settings the user may change while it runs, the
// moments the window may answer events, and the user's decisions. Every call comes from the
// thread that runs the scan.
class ScanListener {
public:
    enum class Answer { Move, Keep, End };

    virtual ~ScanListener() = default;

    // Read for each reference.
    virtual int mode() const = 0;
    virtual bool automatic() const = 0;
    // Characters a text pane holds: a longer text is refused as the pane refuses it.
    virtual qsizetype referenceCapacity() const = 0;
    virtual qsizetype candidateCapacity() const = 0;

    // The window may answer events: at once, or only once a little time has passed since it last
    // did (between files that need no pass).
    virtual void keepAlive(bool now) = 0;
    // Escape, a close request, the scan button: the scan ends at its next stop test.
    virtual bool stopRequested() = 0;
    // The list the scan walks was read again: its positions mean nothing any more, and the scan
    // ends at once.
    virtual bool listChanged() = 0;

    // The reference or its candidates could not be loaded; the scan goes on once it is told.
    virtual void loadFailed(const QString& notice) = 0;
    // One more duplicate, counted, found by a pass of this kind.
    virtual void duplicateFound(bool automatic) = 0;
    // Asked for each duplicate in manual mode.
    virtual Answer askDuplicate(const QString& candidateName) = 0;
    // The duplicate stays where it is; false ends the scan.
    virtual bool notMoved(const QString& path, const QString& reason) = 0;
    // The folder cannot be opened: nothing is scanned.
    virtual void folderUnavailable(const QString& reason) = 0;
};
