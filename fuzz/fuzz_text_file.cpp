// ReadTextFile and DecodeTextFile on arbitrary file contents, read in arbitrary chunks; a store
// written with WriteTextFile and read back; and a change saved over the file read, which keeps a
// copy of it first when it does not look like ours.
#include "fuzz/fuzz_support.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/text_file_format.h"

#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kName = "MemoData.txt";
const std::string kSavedName = "Saved.txt";

// The sizes of successive reads (cycled), an interrupted read for each size 0; empty: as asked.
std::vector<std::size_t> g_chunks;
std::size_t g_nextChunk = 0;

ssize_t ChunkedRead(int fd, void* buffer, std::size_t count) {
    if (!g_chunks.empty()) {
        const std::size_t chunk = g_chunks[g_nextChunk++ % g_chunks.size()];
        if (chunk == 0) {
            errno = EINTR;
            return -1;
        }
        count = std::min(count, chunk);
    }
    return ::read(fd, buffer, count);
}

void PutBytes(const std::string& name, const std::string& bytes) {
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fuzz::Check(file.good(), "cannot write the input file");
}

std::string GetBytes(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The data files work on a real folder; a memory-backed one where the machine has it.
    const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string folder = base + "/velmora-fuzz-text-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr || ::chdir(folder.c_str()) != 0) fuzz::Fail("no folder to fuzz in");
    static std::string s_folder = folder;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(s_folder, ignored);
    });
    FileSystemCalls calls = RealFileSystemCalls();
    calls.readFile = ChunkedRead;
    calls.syncFile = [](int) { return 0; };  // durability is not what is fuzzed here
    // The same temporary names in every run, so that what a fuzz run explores depends on its seed.
    calls.processId = [] { return pid_t{1}; };
    SetFileSystemCallsForTesting(calls);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    std::vector<std::size_t> chunks(provider.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (std::size_t& chunk : chunks) chunk = provider.ConsumeIntegralInRange<std::size_t>(0, 70000);
    // A size 0 is an interrupted read; at least one read must move on.
    if (!chunks.empty()) chunks.back() = std::max<std::size_t>(chunks.back(), 1);
    const std::string bytes = provider.ConsumeRemainingBytesAsString();

    for (const std::string& name : Names()) std::filesystem::remove_all(name);
    ForgetDataFiles();
    const std::string decoded = DecodeTextFile(bytes);
    fuzz::Check(decoded.size() <= bytes.size(), "decoding made the text longer", bytes);
    fuzz::Check(decoded.find('\0') == std::string::npos, "a decoded store holds a NUL", bytes);
    fuzz::Check(decoded.find('\x1a') == std::string::npos, "a decoded store holds 0x1A", bytes);
    if (bytes.find_first_of(std::string("\0\x1a\r", 3)) == std::string::npos)
        fuzz::Check(decoded == bytes, "a file without NUL, 0x1A or CR decodes to other bytes", bytes);

    // Reading the file, however the reads are cut, gives what decoding gives.
    PutBytes(kName, bytes);
    g_chunks = chunks;
    g_nextChunk = 0;
    fuzz::Check(ReadTextFile(kName) == decoded, "ReadTextFile differs from DecodeTextFile", bytes);
    fuzz::Check(!IsUnreadableFile(kName), "a readable file was marked unreadable", bytes);
    g_chunks.clear();

    // A store without NUL and 0x1A survives a write and a read unchanged: the decoded store, and
    // the input itself when it qualifies.
    for (const std::string* store : {&decoded, &bytes}) {
        if (store->find('\0') != std::string::npos || store->find('\x1a') != std::string::npos) continue;
        fuzz::Check(DecodeTextFile(EncodeTextFile(*store)) == *store, "a store does not survive encoding", *store);
        fuzz::Check(WriteTextFile(kSavedName, *store) == 1, "a save failed", *store);
        fuzz::Check(GetBytes(kSavedName) == EncodeTextFile(*store), "the saved bytes are not the store's layout",
                    *store);
        fuzz::Check(ReadTextFile(kSavedName) == *store, "a store written and read back differs", *store);
        fuzz::Check(Names() == std::vector<std::string>{kName, kSavedName}, "a save left another file behind", *store);
    }

    // A change saved over the file read keeps the file aside first when it is not one of ours, and
    // only then.
    const std::string changed = decoded + "1^2^3^x~";
    fuzz::Check(WriteTextFile(kName, changed) == 1, "a save over the file read failed", bytes);
    fuzz::Check(GetBytes(kName) == EncodeTextFile(changed), "the change was not saved", bytes);
    std::vector<std::string> copies;
    for (const std::string& name : Names())
        if (name.starts_with(kName + ".orig-")) copies.push_back(name);
    fuzz::Check(copies.size() == (LooksForeign(bytes) ? 1u : 0u), "a foreign file was not kept, or ours was", bytes);
    if (!copies.empty()) fuzz::Check(GetBytes(copies[0]) == bytes, "the copy kept differs from the file", bytes);
    return 0;
}
