// libFuzzer target for layout files: any bytes must give a layout or a
// refusal naming its reason, never a crash or a half-read layout; and a
// layout that was read, written again, reads back as the same layout.
#include "print/layoutfile.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Result<print::Layout> read = print::layoutFromJson(bytes, QStringLiteral("fuzz.json"));
    if (!read) {
        if (read.error().isEmpty()) {
            std::fprintf(stderr, "broken promise: a refusal says why\n");
            std::abort();
        }
        return 0;
    }
    const Result<print::Layout> again = print::layoutFromJson(print::layoutToJson(*read));
    if (!again || !(*again == *read)) {
        std::fprintf(stderr, "broken promise: a layout written reads back as it was\n");
        std::abort();
    }
    return 0;
}
