#pragma once

#include "app/Exception.h"

class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};
