#pragma once

#include "app/TForm1.h"
#include "scan/ScanRun.h"
#include "ScanTexts.h"
#include "support/DialogAnswerer.h"
#include "support/TempFolder.h"

#include <memory>
#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// A folder of mails, a trash of its own, a settings file pointing at the folder, and the main
// window started on it.
class ScanFixture {
public:
    ScanFixture();
    ~ScanFixture();

    QString folder() const { return m_mails.path(); }
    QString write(const QString& name, const QByteArray& bytes) const;
    // Settings read when the window is created.
    void setOption(const QString& key, const QString& value);
    TForm1& start();
    TForm1& form() { return *m_form; }

    // Clicks the scan button; the queued answers go to the dialogs it opens.
    void scan();

    QStringList filesInFolder() const;
    QStringList filesInTrash() const;
    QStringList duplicatesListed() const;
    QString trashFolder() const;
    QString dataHome() const { return m_dataHome.path(); }

    DialogAnswerer answers;

private:
    TempFolder m_home;
    TempFolder m_mails;
    TempFolder m_dataHome;
    QByteArray m_oldDataHome;
    std::unique_ptr<TForm1> m_form;
};
