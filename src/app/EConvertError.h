#pragma once

#include "app/Exception.h"

class EConvertError : public Exception {
public:
    using Exception::Exception;
};
