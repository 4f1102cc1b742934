#include "velko_main.h"

int main(int argc, char** argv) { return velko::RunVelko(argc, argv); }
