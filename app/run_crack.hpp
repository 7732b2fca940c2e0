#pragma once

// The whole run of crack with its command line: finds the key of CRYPT (default "Crypt.txt")
// from the text alone, lists the best candidates and deciphers CRYPT into DECRYPT (default
// "Decrypt.txt") with the best. Returns the exit status.
int run_crack(int argc, char** argv);
