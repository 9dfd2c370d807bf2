#include "app/AppState.h"

int main(int argc, char** argv) {
    return ini::Main(argc, argv);
}
