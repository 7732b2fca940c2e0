#pragma once

// The whole run of decipher with its command line: deciphers CRYPT (default "Crypt.txt") into
// DECRYPT (default "Decrypt.txt") with the key from -k or typed at the prompt. Returns the exit
// status.
int run_decipher(int argc, char** argv);
