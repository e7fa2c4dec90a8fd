#include "settings/WindowPersistence.h"

#include "app/HandlerGuard.h"
#include "app/TForm1.h"
#include "scan/TMemo.h"
#include "settings/FormGeometry.h"
#include "settings/SettingsHelpers.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"
#include "widgets/TSplitter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

namespace {
const QString kOptions = QStringLiteral("OPTIONS");
const QString kHeights = QStringLiteral("HAUTEUR");
} // namespace

WindowPersistence::WindowPersistence(TForm1& form) : m_form(form) {}

void WindowPersistence::Restore()
{
    RunHandler([this] { RestoreFormGeometry(&m_form); });
    RunHandler([this] {
        m_form.JvDirectoryEdit1()->setDirectory(
            IniReadString(kOptions, QStringLiteral("DOSSIER"), DefaultFolder()));
    });
    RunHandler([this] {
        QLineEdit* mask = m_form.Edit1();
        mask->setText(IniReadString(kOptions, QStringLiteral("MASQUE"), mask->text()));
        // Also when the stored mask equals the field's text: the list's mask follows the field.
        m_form.Edit1Change();
    });
    RunHandler([this] {
        m_form.chk_AUTO()->setChecked(IniReadBool(kOptions, QStringLiteral("AUTO"), false));
    });
    RunHandler([this] {
        m_form.setRadioGroupIndex(
            IniReadInteger(kOptions, QStringLiteral("MODE"), m_form.radioGroupIndex()));
    });
    const struct {
        const char* key;
        TSplitter* splitter;
    } heights[] = {{"LISTE", m_form.Splitter1()},
                   {"MEMO", m_form.Splitter2()},
                   {"DOUBLON", m_form.Splitter3()}};
    for (const auto& h : heights) {
        RunHandler([&] {
            QWidget* control = h.splitter->control();
            h.splitter->setControlHeight(
                IniReadInteger(kHeights, QString::fromLatin1(h.key), control->height()));
        });
    }
}

void WindowPersistence::Save()
{
    SaveFormGeometry(&m_form);
    IniWriteString(kOptions, QStringLiteral("DOSSIER"), m_form.JvDirectoryEdit1()->text());
    IniWriteString(kOptions, QStringLiteral("MASQUE"), m_form.Edit1()->text());
    IniWriteBool(kOptions, QStringLiteral("AUTO"), m_form.chk_AUTO()->isChecked());
    IniWriteInteger(kOptions, QStringLiteral("MODE"), m_form.radioGroupIndex());
    IniWriteInteger(kHeights, QStringLiteral("LISTE"), m_form.JvFileListBox2()->height());
    IniWriteInteger(kHeights, QStringLiteral("MEMO"), m_form.Memo2()->height());
    IniWriteInteger(kHeights, QStringLiteral("DOUBLON"), m_form.ListBox1()->height());
}
