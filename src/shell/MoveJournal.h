#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// One file a scan moved (or was about to move) to the trash, as its journal tells it.
struct JournalMove {
    enum class State {
        Pending,  // announced, never confirmed: the program stopped in between
        Done,     // in the trash
        Failed,   // the trash refused it or it was put back: it never left its folder
        Restored, // put back by a restore
    };

    quint64 sequence = 0;
    QByteArray folder; // the folder it was in, as bytes
    quint64 folderDevice = 0;
    quint64 folderInode = 0;
    QByteArray name;      // its name there
    QByteArray trashRoot; // the trash folder that holds files/ and info/
    QByteArray trashName; // its name in files/
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    QByteArray reference; // the name of the file it equalled, in the same folder
    State state = State::Pending;

    QByteArray originalPath() const { return (folder == "/" ? QByteArray() : folder) + '/' + name; }
    // In the trash as far as the journal knows: confirmed, or announced by a scan that stopped.
    bool mayBeInTrash() const { return state == State::Done || state == State::Pending; }
};

// A journal as read back. Lines cut short or damaged are left out; a file that does not start
// as a journal is not valid.
struct JournalContents {
    bool valid = false;
    QString path;
    QDateTime started;
    QByteArray folder;
    QList<JournalMove> moves;
    bool closed = false; // a restore has been made from it

    qsizetype inTrash() const;
};

// The journal of one scan's moves to the trash, in $XDG_STATE_HOME/twindrop: every record is one
// line with its own checksum, written to the file before the scan goes on (and flushed to the disk
// when the scan ends), so that a scan that is killed leaves a journal that says which moves
// happened. The file is created at the
// first move; the newest kKept journals are kept.
class MoveJournal {
public:
    static constexpr int kKept = 20;

    MoveJournal();
    ~MoveJournal();
    MoveJournal(const MoveJournal&) = delete;
    MoveJournal& operator=(const MoveJournal&) = delete;

    // Where journals live: $XDG_STATE_HOME/twindrop, else ~/.local/state/twindrop (a private
    // folder while tests run).
    static QString folder();

    // A new scan of folderPath begins; nothing is written before its first move.
    void begin(const QString& folderPath);
    // Called just before the entry name of the open folder folderFd moves into the trash as
    // trashName of trashRoot; referenceName is the file it equalled. False, with a French
    // sentence in why, when the record cannot be written: the file must then stay.
    bool aboutToMove(int folderFd, const QByteArray& name, const QByteArray& referenceName,
                     const QByteArray& trashRoot, const QByteArray& trashName, QString* why);
    // The outcome of the move last announced.
    void moved();
    void notMoved();
    // The scan is over.
    void end();
    // The file of the running scan, empty before its first move.
    QString path() const { return m_path; }

    // Reading back.
    static JournalContents parse(const QByteArray& bytes);
    static JournalContents read(const QString& path);
    // Journal files of the folder, oldest first.
    static QStringList journals(const QString& folder = MoveJournal::folder());
    // The newest journal that moved at least one file (invalid when there is none).
    static JournalContents lastWithMoves(const QString& folder = MoveJournal::folder());
    // Appends that these moves were put back and, when closing, that a restore has been made.
    static bool appendRestored(const QString& path, const QList<quint64>& sequences, bool closing);

    // One record line with its checksum, for tests and the reader's fuzzing.
    static QByteArray line(const QList<QByteArray>& fields);

private:
    bool open(QString* why);
    bool write(const QList<QByteArray>& fields, QString* why);

    QByteArray m_folder;
    QString m_path;
    int m_fd = -1;
    quint64 m_sequence = 0;
    bool m_announced = false;
};
