#include "app/stream_run.hpp"

#include "app/platform.hpp"

#include <optional>

int stream_status(run_context& run, stream_fault fault, const char* in_name, std::FILE* out,
                  const char* out_name) {
    switch (fault.failure) {
    case stream_failure::none: return 0;
    case stream_failure::read: run.report_errno(shown_input_name(in_name), fault.error); break;
    case stream_failure::write:
        run.report_errno(shown_output_name(out_name), write_failure(out, fault.error));
        break;
    }
    return 1;
}

namespace {

std::optional<text_encoding> chosen_encoding(const run_request& request) {
    switch (request.encoding) {
    case output_encoding::utf8: return text_encoding::utf8;
    case output_encoding::windows_1251: return text_encoding::windows_1251;
    case output_encoding::as_input: break;
    }
    return std::nullopt;
}

} // namespace

stream_extras extras_for(const run_request& request, std::FILE* in) {
    stream_extras extras;
    extras.output = chosen_encoding(request);
    extras.reads_wait = identify(in).kind != file_identity::regular;
    return extras;
}
