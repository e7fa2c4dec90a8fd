#pragma once

#include "shell/MoveJournal.h"

#include <QList>
#include <QString>

// Puts the files a scan moved to the trash back under their own names, from its journal. A file
// comes back only when the trash still holds that very file (its device, inode, size and
// modification time as they were when it left) and its name in its own folder is free: nothing
// is ever overwritten. Its trash record goes with it, so trash clients no longer list it.
class TrashRestore {
public:
    struct Failure {
        QString path;   // the original path, as shown
        QString reason; // a French sentence
    };
    struct Result {
        int restored = 0;
        QList<quint64> restoredSequences;
        QList<Failure> failures;
    };

    // Every move of the journal that may be in the trash (confirmed, or announced by a scan that
    // stopped before it could confirm it). Each folder and trash is opened once; the files are
    // named only relative to those descriptors.
    static Result restore(const JournalContents& journal);
};
