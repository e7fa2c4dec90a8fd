#pragma once

#include "app/Exception.h"

class EIniFileException : public Exception {
public:
    using Exception::Exception;
};
