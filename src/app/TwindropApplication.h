#pragma once

#include <QApplication>

// The application object. An exception that leaves an event handler (twindrop's Exception, any
// std::exception, anything else) is shown in the general error report, and the program goes on.
class TwindropApplication : public QApplication {
    Q_OBJECT
public:
    TwindropApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
