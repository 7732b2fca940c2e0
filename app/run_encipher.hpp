#pragma once

// The whole run: enciphers "Plain.txt" into "Crypt.txt" with a key word read from standard
// input. Returns the exit status.
int run_encipher(int argc, char** argv);
