#pragma once

#include "app/Exception.h"

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};
