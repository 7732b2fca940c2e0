#pragma once

// The whole run: deciphers "Crypt.txt" into "Decrypt.txt" with a key word read from standard
// input; the arguments are not looked at. Returns the exit status.
int run_decipher(int argc, char** argv);
