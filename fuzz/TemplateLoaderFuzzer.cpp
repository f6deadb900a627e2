// Feeds arbitrary bytes to the template loader the way a template file reaches it and
// checks the result (TemplateLoadingCheck).
#include "FuzzSandbox.h"
#include "TemplateLoadingCheck.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<TemplateLoadingCheck> check;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    check = std::make_unique<TemplateLoadingCheck>(FuzzSandbox::prepare(argc, argv, "kova_fuzz_template_loader"));
    if (!check->isReady())
        std::abort();
    return 0;
}

// A broken promise stops the run like a crash.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzSandbox::abortOnFault(check->faultFor(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))));
    return 0;
}
