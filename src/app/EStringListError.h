#pragma once

#include "app/Exception.h"

class EStringListError : public Exception {
public:
    using Exception::Exception;
};
