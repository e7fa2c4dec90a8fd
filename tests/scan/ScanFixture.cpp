#include "ScanFixture.h"

#include "settings/SettingsHelpers.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QtTest>

ScanFixture::ScanFixture() : m_oldDataHome(qgetenv("XDG_DATA_HOME"))
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    SetExecutablePathForTesting(m_home.filePath(QStringLiteral("twindrop")));
    setOption(QStringLiteral("DOSSIER"), m_mails.path());
}

ScanFixture::~ScanFixture()
{
    m_form.reset();
    SetExecutablePathForTesting(QString());
    qputenv("XDG_DATA_HOME", m_oldDataHome);
}

QString ScanFixture::write(const QString& name, const QByteArray& bytes) const
{
    return m_mails.write(name, bytes);
}

void ScanFixture::setOption(const QString& key, const QString& value)
{
    IniWriteString(QStringLiteral("OPTIONS"), key, value);
}

TForm1& ScanFixture::start()
{
    m_form = std::make_unique<TForm1>();
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("window not exposed");
    return *m_form;
}

void ScanFixture::scan()
{
    QTest::mouseClick(m_form->Button1(), Qt::LeftButton);
}

QStringList ScanFixture::filesInFolder() const
{
    return QDir(m_mails.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QString ScanFixture::trashFolder() const
{
    return m_dataHome.filePath(QStringLiteral("Trash/files"));
}

QStringList ScanFixture::filesInTrash() const
{
    return QDir(trashFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList ScanFixture::duplicatesListed() const
{
    QStringList names;
    for (int i = 0; i < m_form->ListBox1()->count(); ++i)
        names << m_form->ListBox1()->item(i)->text();
    return names;
}
