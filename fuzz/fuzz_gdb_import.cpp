// Feeds arbitrary bytes to the gdb importer.
#include "fuzz/fuzz_exchange_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    return FuzzImport(velka::ImportGdb, velka::ProbeGdb, pData, cb);
}
