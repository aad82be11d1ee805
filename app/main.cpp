#include <cstdio>

#include "app/Checker.h"

int main(int argc, char** argv) { return RunChecker(argc, argv, stdout, stderr); }
