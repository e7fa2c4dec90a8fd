#include "scan/ReferenceLoader.h"

#include "base/PathRules.h"
#include "scan/CandidatePrefix.h"
#include "scan/TMemo.h"
#include "widgets/TJvFileListBox.h"

#include <QButtonGroup>

ReferenceLoader::ReferenceLoader(const Controls& controls, QObject* parent)
    : QObject(parent), m_controls(controls)
{
}

QString ReferenceLoader::referenceName() const
{
    const QString fileName = m_controls.mainList->fileName();
    return fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

bool ReferenceLoader::CHARGE1Execute()
{
    const QString fileName = m_controls.mainList->fileName();
    if (fileName.isEmpty())
        return false;
    // Links are followed; a folder or a file gone since the list was read is no reference.
    if (!base::PathRules::isRegularFile(fileName))
        return false;
    m_controls.referencePane->LoadFromFile(fileName);
    return true;
}

void ReferenceLoader::CHARGE2Execute()
{
    const QString name = referenceName();
    if (name.isEmpty())
        return;
    TJvFileListBox* candidates = m_controls.candidateList;
    candidates->setMask(CandidateMask(name, m_controls.scanModes->checkedId()));
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
    if (m_controls.mainList->itemCount() == 0)
        return;
    m_controls.mainList->setItemIndex(0);
    CHARGE1Execute();
    CHARGE2Execute();
}

void ReferenceLoader::JvFileListBox1Change()
{
    CHARGE1Execute();
    CHARGE2Execute();
    emit mainListCounted(m_controls.mainList->itemCount());
}

void ReferenceLoader::RadioGroup1Click()
{
    CHARGE2Execute();
}

void ReferenceLoader::JvFileListBox2Click()
{
    m_controls.referencePane->LoadFromFile(m_controls.candidateList->fileName());
}
