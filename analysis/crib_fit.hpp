// Where the cribs may still lie while a key's columns get their ranks one by one, left to right.
//
// A crib's place in the plaintext is a row and the column it starts in. For each start column,
// each column the crib covers and each ciphertext segment that column may read, the rows where
// the segment's letters agree with the crib are a bit set, made once; a partial order keeps,
// per start column, the rows all its ranked columns agree on, and those sets soon thin out to a
// few words. Rows whose letters, and those of the rows a crib runs on into, are the same in
// every segment are one row here: periodic text has few. The short last block of a complete
// text, at most n * n letters, is read letter by letter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

struct crib_fit {
    struct start_state {
        const std::uint64_t* rows = nullptr; // the bit set of the one column ranked so far
        int list_depth = -1;                 // else the depth whose list holds the rows
        bool open = true;                    // no column of the crib ranked yet
        bool rows_any = false;               // rows holds a row
    };
    struct one_crib {
        std::vector<std::uint8_t> codes;
        std::vector<std::uint32_t> rows;  // the first full row of each kind, in order
        std::size_t words = 0;            // of a bit set of rows
        std::vector<std::uint64_t> match; // by start column, column, segment: words of rows
        std::vector<bool> match_any;
        std::vector<bool> valid_any;       // by start column: the crib has a row there at all
        std::vector<std::uint32_t> covers; // by start column: the columns it covers, a bit each
        // By depth, then start column.
        std::vector<start_state> states;
        std::vector<std::vector<std::pair<std::uint32_t, std::uint64_t>>> lists;
    };
    std::size_t side = 0;
    std::size_t size = 0;               // letters searched for the cribs
    std::size_t full = 0;               // of them in full blocks
    std::vector<std::uint8_t> segments; // codes by segment, then full row
    std::vector<std::uint8_t> tail;     // codes of the short last block
    std::size_t tail_rows = 0;
    std::size_t long_columns = 0;
    std::vector<one_crib> cribs;
};

// For key length n over letters[0, size): all of a complete text, else its whole blocks.
crib_fit make_crib_fit(const std::uint8_t* letters, std::size_t size, bool complete, int n,
                       const std::vector<std::vector<std::uint8_t>>& cribs);

// Whether every crib may still lie somewhere once columns 0..d have the ranks rank[0..d]; calls
// for depth d follow the one for depth d - 1 of the same order. long_ranks: the ranks of the
// long columns of the short block, when known beforehand.
bool cribs_fit(crib_fit& fit, const std::size_t* rank, std::size_t d,
               std::optional<std::uint32_t> long_ranks);
