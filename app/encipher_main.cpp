#include "app/run_encipher.hpp"

int main(int argc, char** argv) {
    return run_encipher(argc, argv);
}
