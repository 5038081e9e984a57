#include "modMain.h"

int main(int argc, char* argv[]) {
    return drovane::Main(argc, argv);
}
