#include "app/output_file.hpp"

#include "app/platform.hpp"

#include <cerrno>
#include <cstring>

output_file::~output_file() {
    discard();
}

bool written_through(const char* name) {
    return std::strcmp(name, "-") == 0 || named_descriptor(name) >= 0;
}

bool output_file::open_in_place(const char* name) {
    const int descriptor = std::strcmp(name, "-") == 0 ? 1 : named_descriptor(name);
    through_ = descriptor >= 0;
    file_ = descriptor == 1 ? stdout
            : through_      ? open_descriptor(descriptor)
                            : open_unemptied(name);
    return file_ != nullptr;
}

bool output_file::open_replacing(const char* name) {
    target_ = name;
    file_ = create_beside(name, temp_name_);
    if (file_ == nullptr)
        temp_name_.clear();
    return file_ != nullptr;
}

bool output_file::finish(bool& owner_only) {
    owner_only = false;
    std::FILE* file = file_;
    file_ = nullptr;
    if (file == nullptr || file == stdout)
        return true;
    if (temp_name_.empty())
        return std::fclose(file) == 0;
    if (commit_beside(file, temp_name_, target_.c_str(), owner_only)) {
        temp_name_.clear();
        return true;
    }
    const int error = errno;
    discard_beside(nullptr, temp_name_);
    temp_name_.clear();
    errno = error;
    return false;
}

void output_file::discard() {
    if (!temp_name_.empty()) {
        discard_beside(file_, temp_name_);
        temp_name_.clear();
    } else if (file_ != nullptr && file_ != stdout) {
        std::fclose(file_);
    }
    file_ = nullptr;
}
