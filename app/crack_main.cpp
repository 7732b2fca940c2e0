#include "app/run_crack.hpp"

int main(int argc, char** argv) {
    return run_crack(argc, argv);
}
