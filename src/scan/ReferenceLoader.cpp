#include "scan/ReferenceLoader.h"

#include "app/TForm1.h"
#include "base/PathRules.h"
#include "scan/CandidatePrefix.h"
#include "scan/TMemo.h"
#include "widgets/TJvFileListBox.h"

ReferenceLoader::ReferenceLoader(TForm1& form) : m_form(form) {}

QString ReferenceLoader::referenceName() const
{
    const QString fileName = m_form.JvFileListBox1()->fileName();
    return fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

bool ReferenceLoader::CHARGE1Execute()
{
    const QString fileName = m_form.JvFileListBox1()->fileName();
    if (fileName.isEmpty())
        return false;
    // Links are followed; a folder or a file gone since the list was read is no reference.
    if (!base::PathRules::isRegularFile(fileName))
        return false;
    m_form.Memo1()->LoadFromFile(fileName);
    return true;
}

void ReferenceLoader::CHARGE2Execute()
{
    const QString name = referenceName();
    if (name.isEmpty())
        return;
    TJvFileListBox* candidates = m_form.JvFileListBox2();
    candidates->setMask(CandidatePrefix(name, m_form.radioGroupIndex()) + QLatin1Char('*'));
    candidates->Update();
    const int count = candidates->itemCount();
    for (int i = count - 1; i >= 0; --i) {
        if (candidates->itemText(i) == referenceName()) {
            candidates->setItemSelected(i, true);
            candidates->DeleteSelected();
        }
    }
}

void ReferenceLoader::FormShow()
{
    if (m_form.JvFileListBox1()->itemCount() == 0)
        return;
    m_form.JvFileListBox1()->setItemIndex(0);
    CHARGE1Execute();
    CHARGE2Execute();
}

void ReferenceLoader::JvFileListBox1Change()
{
    CHARGE1Execute();
    CHARGE2Execute();
    m_form.setStatusText(0, QString::number(m_form.JvFileListBox1()->itemCount()));
}

void ReferenceLoader::RadioGroup1Click()
{
    CHARGE2Execute();
}

void ReferenceLoader::JvFileListBox2Click()
{
    m_form.Memo1()->LoadFromFile(m_form.JvFileListBox2()->fileName());
}
