#pragma once

#include "app/Exception.h"

class EFOpenError : public Exception {
public:
    using Exception::Exception;
};
