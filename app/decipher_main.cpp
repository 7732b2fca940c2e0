#include "app/run_decipher.hpp"

int main(int argc, char** argv) {
    return run_decipher(argc, argv);
}
