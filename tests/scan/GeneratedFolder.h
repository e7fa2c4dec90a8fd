#pragma once

#include "ScanModel.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QString>
#include <QStringList>

#include <memory>

// A folder of mails made from a seed: groups of equal texts in every encoding with their near
// copies, hidden copies, links (some through a bind mount of the folder inside itself), second
// names (hard links) and now and then a file the loader refuses; and the model of what a scan of
// it must do.
class GeneratedFolder {
public:
    GeneratedFolder(const QString& folder, quint32 seed, int mode, bool automatic);

    ScanModel model;
    // Why the folder could not be made here; empty when it was.
    QString skipped;

    // Rows mode, automatic, seed for every scan mode and both kinds of pass, seeds per pair.
    static void addRows(int seeds, quint32 spread);
    // Every entry of a folder as it is, links and hidden files included, records left out.
    static QStringList entriesOf(const QString& folder);

private:
    TempFolder m_scratchPlace;
    std::unique_ptr<ScratchMount> m_scratch;
};
