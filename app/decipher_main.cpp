#include "app/run_decipher.hpp"

int main() {
    return run_decipher();
}
