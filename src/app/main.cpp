#include "app/startup.h"

int main(int argc, char** argv) { return vidralo::startProgram(argc, argv); }
