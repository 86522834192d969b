// The recorder program's entry.

#include "app/recorder_application.h"

int main(int argc, char** argv)
{
    return wavelark::wavelarkMain(argc, argv);
}
