// The alphabet and the ciphertext as a stream of letters, read and written: what the stream
// loops and the tools take in one include.
#pragma once

#include "cipher/letter_reader.hpp"
#include "cipher/text_writer.hpp"
