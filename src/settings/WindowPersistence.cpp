#include "settings/WindowPersistence.h"

#include "settings/FormGeometry.h"
#include "settings/PersistedWindow.h"
#include "settings/SettingsHelpers.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TSplitter.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
const QString kOptions = QStringLiteral("OPTIONS");
const QString kHeights = QStringLiteral("HAUTEUR");

struct PaneHeight {
    const char* key;
    TSplitter* splitter;
};

} // namespace

template <typename Step> void WindowPersistence::restoreStep(Step&& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        m_window.restoreFailed(e);
    }
}

WindowPersistence::WindowPersistence(PersistedWindow& window, const Controls& controls)
    : m_window(window), m_controls(controls)
{
}

void WindowPersistence::Restore()
{
    restoreStep([this] { RestoreFormGeometry(m_controls.form); });
    restoreStep([this] {
        m_controls.folderField->setDirectory(
            IniReadString(kOptions, QStringLiteral("DOSSIER"), DefaultFolder()));
    });
    restoreStep([this] {
        QLineEdit* mask = m_controls.maskField;
        mask->setText(IniReadString(kOptions, QStringLiteral("MASQUE"), mask->text()));
        // Also when the stored mask equals the field's text: the list's mask follows the field.
        m_window.Edit1Change();
    });
    restoreStep([this] {
        m_controls.automaticMode->setChecked(IniReadBool(kOptions, QStringLiteral("AUTO"), false));
    });
    restoreStep([this] {
        m_window.setRadioGroupIndex(
            IniReadInteger(kOptions, QStringLiteral("MODE"), m_window.radioGroupIndex()));
    });
    const PaneHeight heights[] = {{"LISTE", m_controls.candidateListSplitter},
                                  {"MEMO", m_controls.candidatePaneSplitter},
                                  {"DOUBLON", m_controls.duplicatesSplitter}};
    for (const auto& h : heights) {
        restoreStep([&] {
            QWidget* control = h.splitter->control();
            h.splitter->setControlHeight(
                IniReadInteger(kHeights, QString::fromLatin1(h.key), control->height()));
        });
    }
}

void WindowPersistence::Save()
{
    SaveFormGeometry(m_controls.form);
    IniWriteString(kOptions, QStringLiteral("DOSSIER"), m_controls.folderField->text());
    IniWriteString(kOptions, QStringLiteral("MASQUE"), m_controls.maskField->text());
    IniWriteBool(kOptions, QStringLiteral("AUTO"), m_controls.automaticMode->isChecked());
    IniWriteInteger(kOptions, QStringLiteral("MODE"), m_window.radioGroupIndex());
    IniWriteInteger(kHeights, QStringLiteral("LISTE"),
                    m_controls.candidateListSplitter->control()->height());
    IniWriteInteger(kHeights, QStringLiteral("MEMO"),
                    m_controls.candidatePaneSplitter->control()->height());
    IniWriteInteger(kHeights, QStringLiteral("DOUBLON"),
                    m_controls.duplicatesSplitter->control()->height());
}
