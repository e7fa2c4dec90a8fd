#include "widgets/TJvDirectoryEdit.h"

TJvDirectoryEdit::TJvDirectoryEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    connect(this, &QLineEdit::textChanged, this, &TJvDirectoryEdit::OnChange);
}
