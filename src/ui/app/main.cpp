#include "ui/app/application.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("dxu-interface " DXU_VERSION);
        return 0;
    }
    return dxu::runApplication(argc, argv);
}
