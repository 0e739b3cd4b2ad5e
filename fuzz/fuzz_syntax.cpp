// SPDX-License-Identifier: MIT
#include "fuzz/syntaxcheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const Verdict verdict =
        FuzzChecks::syntax(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (verdict.failed()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(verdict.message()));
        std::abort();
    }
    return 0;
}
