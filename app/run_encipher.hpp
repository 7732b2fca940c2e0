#pragma once

// The whole run of encipher with its command line: enciphers PLAIN (default "Plain.txt") into
// CRYPT (default "Crypt.txt") with the key from -k or typed at the prompt. Returns the exit
// status.
int run_encipher(int argc, char** argv);
