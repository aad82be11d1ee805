#include "app/Checker.h"

int RunChecker(int, char**, std::FILE*, std::FILE* err) {
    std::fputs("\ntsvigil - transport stream checker ver 0.9.0\n\n", err);
    return 0;
}
