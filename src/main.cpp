#include "app/Main.h"

int main(int argc, char** argv) {
    return ini::Main(argc, argv);
}
