#include "app/RestoreLastScan.h"

#include "app/TForm1.h"
#include "base/PathRules.h"
#include "dialogs/MessageDialogs.h"
#include "scan/ScanRun.h"
#include "shell/MoveJournal.h"
#include "shell/TrashRestore.h"
#include "widgets/TJvFileListBox.h"

namespace {

// The dialog takes "&" for an accelerator mark: a name shows as it is written.
QString escapeAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString scanDate(const JournalContents& journal)
{
    return journal.started.toLocalTime().toString(QStringLiteral("dd/MM/yyyy 'à' HH:mm:ss"));
}

} // namespace

void RestoreLastScan::Execute()
{
    // A scan in progress is writing the journal and moving files: the two never mix.
    if (m_form.scan()->isRunning()) {
        ShowMessageDialog(QStringLiteral("Une analyse est en cours : la restauration n'est "
                                         "possible qu'une fois l'analyse terminée."),
                          mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
        return;
    }
    const JournalContents journal = MoveJournal::lastWithMoves();
    if (!journal.valid) {
        ShowInfo(QStringLiteral("Aucune analyse n'a placé de fichiers dans la corbeille : il n'y a "
                                "rien à restaurer."));
        return;
    }
    const qsizetype count = journal.inTrash();
    if (journal.closed || count == 0) {
        ShowInfo(QStringLiteral("Les fichiers placés dans la corbeille par l'analyse du %1 ont "
                                "déjà été restaurés : il n'y a plus rien à restaurer.")
                     .arg(scanDate(journal)));
        return;
    }
    const int answer = ShowMessageDialog(
        QStringLiteral("Restaurer %1 fichiers placés dans la corbeille par l'analyse du %2 ?")
            .arg(count)
            .arg(scanDate(journal)),
        mtConfirmation, mbYes | mbNo, 0, -1, -1, QString());
    if (answer != mrYes)
        return;

    const TrashRestore::Result result = TrashRestore::restore(journal);
    const bool noted = MoveJournal::appendRestored(journal.path, result.restoredSequences, true);

    // The main list shows the restored files when it lists their folder.
    TJvFileListBox* list = m_form.JvFileListBox1();
    QByteArray listed;
    if (result.restored > 0 && base::PathRules::encodePath(list->directory(), listed) &&
        listed == journal.folder)
        list->Update();

    QString summary = QStringLiteral("%1 fichiers restaurés.").arg(result.restored);
    if (!result.failures.isEmpty()) {
        summary += QStringLiteral("\r\n\r\n%1 fichiers n'ont pas pu être restaurés :")
                       .arg(result.failures.size());
        for (const TrashRestore::Failure& failure : result.failures)
            summary += QStringLiteral("\r\n\"%1\" : %2")
                           .arg(escapeAmpersands(failure.path), escapeAmpersands(failure.reason));
    }
    if (!noted)
        summary += QStringLiteral("\r\n\r\nLe journal de l'analyse n'a pas pu être mis à jour.");
    ShowInfo(summary);
}
