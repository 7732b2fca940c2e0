#pragma once

// The whole run: finds the key of "Crypt.txt" from the text alone, lists the best candidates
// and deciphers "Crypt.txt" into "Decrypt.txt" with the best. Returns the exit status.
int run_crack(int argc, char** argv);
