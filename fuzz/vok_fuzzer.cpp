// The document reader on arbitrary bytes: refused or accepted with valid values, and what it
// accepts writes out and reads back unchanged.
#include <cstdint>

#include "fuzz/document_checks.h"
#include "platform/message_service.h"

namespace {

class QuietMessages final : public vokra::MessageService {
public:
    int Show(const vokra::MessageRequest&) override { return vokra::IDOK; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietMessages quiet;
    vokra::SetMessageService(&quiet);
    const char* failed =
        vokra::fuzz::CheckVokBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (failed) __builtin_trap();
    return 0;
}
