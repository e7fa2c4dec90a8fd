#pragma once

#include "app/Exception.h"

class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};
