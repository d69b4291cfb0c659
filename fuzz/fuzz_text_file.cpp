// ReadTextFile and DecodeTextFile on arbitrary file contents, read in arbitrary chunks; and a
// store written with WriteTextFile and read back.
#include "fuzz/fuzz_support.h"
#include "model/data_files.h"
#include "model/text_file_format.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kName = "MemoData.txt";
// A directory that does not exist on disk, so that the save's own checks find no file there and
// everything else happens in memory.
const std::string kSavedName = "/nonexistent-velmora-fuzz/MemoData.txt";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseMemoryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    std::vector<std::size_t> chunks(provider.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (std::size_t& chunk : chunks) chunk = provider.ConsumeIntegralInRange<std::size_t>(0, 70000);
    // A size 0 is an interrupted read; at least one read must move on.
    if (!chunks.empty()) chunks.back() = std::max<std::size_t>(chunks.back(), 1);
    const std::string bytes = provider.ConsumeRemainingBytesAsString();

    fuzz::UseMemoryFiles();
    const std::string decoded = DecodeTextFile(bytes);
    fuzz::Check(decoded.size() <= bytes.size(), "decoding made the text longer", bytes);
    fuzz::Check(decoded.find('\0') == std::string::npos, "a decoded store holds a NUL", bytes);
    fuzz::Check(decoded.find('\x1a') == std::string::npos, "a decoded store holds 0x1A", bytes);
    if (bytes.find_first_of(std::string("\0\x1a\r", 3)) == std::string::npos)
        fuzz::Check(decoded == bytes, "a file without NUL, 0x1A or CR decodes to other bytes", bytes);

    // Reading the file, however the reads are cut, gives what decoding gives.
    fuzz::PutFile(kName, bytes);
    fuzz::SetReadChunks(chunks);
    fuzz::Check(ReadTextFile(kName) == decoded, "ReadTextFile differs from DecodeTextFile", bytes);
    fuzz::Check(!IsUnreadableFile(kName), "a readable file was marked unreadable", bytes);
    fuzz::SetReadChunks({});

    // A store without NUL and 0x1A survives a write and a read unchanged: the decoded store, and
    // the input itself when it qualifies.
    for (const std::string* store : {&decoded, &bytes}) {
        if (store->find('\0') != std::string::npos || store->find('\x1a') != std::string::npos) continue;
        fuzz::Check(DecodeTextFile(EncodeTextFile(*store)) == *store, "a store does not survive encoding", *store);
        fuzz::Check(WriteTextFile(kSavedName, *store) == 1, "a save into memory failed", *store);
        std::string saved;
        fuzz::Check(fuzz::GetFile(kSavedName, saved), "the saved file is missing", *store);
        fuzz::Check(saved == EncodeTextFile(*store), "the saved bytes are not the store's layout", *store);
        fuzz::Check(ReadTextFile(kSavedName) == *store, "a store written and read back differs", *store);
        fuzz::Check(fuzz::FileNames().size() == 2, "a save left a temporary file behind", *store);
    }
    return 0;
}
