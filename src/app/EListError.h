#pragma once

#include "app/Exception.h"

class EListError : public Exception {
public:
    using Exception::Exception;
};
