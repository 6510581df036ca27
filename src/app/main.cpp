#include "app/application.h"

int main(int argc, char** argv) { return dxu::runApplication(argc, argv); }
