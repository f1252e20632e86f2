#include "Main.h"

int main(int argc, char** argv) { return QuenletMain(argc, argv); }
