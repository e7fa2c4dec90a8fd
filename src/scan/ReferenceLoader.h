#pragma once

#include <QString>

class TForm1;

// The reference (the main list's selection) and its candidates (the files whose names begin with
// the prefix the scan mode takes from the reference's name).
class ReferenceLoader {
public:
    explicit ReferenceLoader(TForm1& form);

    // Loads the selected file of the main list into the reference pane when it exists; returns
    // whether the pane now holds that file's text.
    bool CHARGE1Execute();
    // Fills the candidate list by the scan mode and removes the reference from it.
    void CHARGE2Execute();
    void FormShow();
    void JvFileListBox1Change();
    void RadioGroup1Click();
    void JvFileListBox2Click();

    // The name (last path element) of the main list's selected file, empty without one.
    QString referenceName() const;

private:
    TForm1& m_form;
};
