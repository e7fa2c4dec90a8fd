#pragma once

class TForm1;

// "Restaurer la dernière analyse": puts back, after a question, the files the last scan that
// moved files placed in the trash, from its journal (so it works after a restart too), and
// tells what came back and what could not.
class RestoreLastScan {
public:
    explicit RestoreLastScan(TForm1& form) : m_form(form) {}
    void Execute();

private:
    TForm1& m_form;
};
