#include "app/StartUp.h"
#include "app/TwindropApplication.h"

int main(int argc, char** argv)
{
    TwindropApplication app(argc, argv);
    return RunTwindrop();
}
