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

std::optional<text_encoding> named_encoding(output_encoding encoding) {
    switch (encoding) {
    case output_encoding::utf8: return text_encoding::utf8;
    case output_encoding::windows_1251: return text_encoding::windows_1251;
    case output_encoding::cp866: return text_encoding::cp866;
    case output_encoding::koi8_r: return text_encoding::koi8_r;
    case output_encoding::as_input: break;
    }
    return std::nullopt;
}

} // namespace

stream_extras extras_for(const run_request& request, std::FILE* in, std::FILE* out) {
    stream_extras extras;
    extras.output = named_encoding(request.encoding);
    extras.reads_wait = identify(in).kind != file_identity::regular;
    const terminal_text shown = terminal_text_of(out);
    extras.terminal = shown.terminal;
    // -e is taken at its word, a terminal or not.
    if (shown.terminal && !extras.output) {
        extras.output = shown.encoding;
        extras.write = shown.write;
    }
    return extras;
}

void read_as_asked(const run_request& request, letter_reader& reader) {
    if (const auto encoding = named_encoding(request.from))
        read_as(reader, *encoding);
}
