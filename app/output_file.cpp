#include "app/output_file.hpp"

#include "app/messages.hpp"

#include "app/file_checks.hpp"
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

close_failure output_file::finish() {
    std::FILE* file = file_;
    file_ = nullptr;
    if (file == nullptr || file == stdout)
        return {};
    if (temp_name_.empty())
        return {std::fclose(file) == 0 ? 0 : errno, false};
    const close_failure failure = commit_beside(file, temp_name_, target_.c_str());
    if (failure.error != 0)
        discard_beside(nullptr, temp_name_);
    temp_name_.clear();
    return failure;
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

int finish_run(run_context& run, std::FILE* in, int status) {
    close_text(in);
    return run.finish(status);
}

int finish_run(run_context& run, std::FILE* in, output_file& out, const char* out_name,
               int status) {
    if (out.replacing() && status == 0)
        if (const int error = run.flush_standard_output(); error != 0) {
            run.report_errno("standard output", error);
            status = 1;
        }
    if (status != 0 && out.replacing()) {
        out.discard();
        return finish_run(run, in, status);
    }
    // A full disk may only show when the last buffered letters go out.
    if (const close_failure failure = out.finish(); failure.error != 0 && status == 0) {
        const int error = write_failure(nullptr, failure.error);
        if (failure.owner_only)
            run.report_errno(out_name, error,
                             tr("the folder allows only the file's owner to replace it"));
        else
            run.report_errno(out_name, error);
        status = 1;
    }
    return finish_run(run, in, status);
}
