// The key line read from standard input: where it ends, and how much of the input it takes.
#include "app/key_line.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(KeyLine, ReadsOneBoundedLine) {
    struct line_case {
        const char* name;
        std::string input;
        std::string line;
        long taken; // bytes of the input read
        bool cut = false;
    };
    const line_case cases[] = {
        {"a line feed ends it", "abc\nrest", "abc", 4},
        {"CR LF", "abc\r\nrest", "abc", 5},
        {"a CR at the end of the input", "bca\r", "bca", 4},
        {"a CR inside stays", "b\ra\n", "b\ra", 4},
        {"a zero byte ends it, and nothing after it is read", std::string("b\0a\n", 4), "b", 2},
        {"no line break at all", "abc", "abc", 3},
        {"an endless line stops at the bound", std::string(100000, 'a'),
         std::string(key_line_bound, 'a'), static_cast<long>(key_line_bound), true},
    };
    for (const line_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE* in = std::tmpfile();
        ASSERT_NE(in, nullptr);
        std::fwrite(c.input.data(), 1, c.input.size(), in);
        std::rewind(in);
        std::string line;
        bool cut = false;
        EXPECT_TRUE(read_key_line(in, line, cut));
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(cut, c.cut);
        EXPECT_EQ(std::ftell(in), c.taken);
        std::fclose(in);
    }
}

} // namespace
