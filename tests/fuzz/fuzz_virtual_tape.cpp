// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the virtual-tape reader with arbitrary tape files. The bytes become an in-memory file attached as
// a drive; the tape is read to its end twice (with a whole read buffer and with a small one, so that long
// records arrive in pieces), its framing is checked, and it is scanned as a tape.

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "catalog/catalog.h"
#include "common/posix_io.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"
#include "tape/virtual_tape.h"

namespace {

using namespace ostrum;

// The most reads of one pass: a file of n bytes holds at most n / 4 entries, and a long record is read in
// pieces; more than this means the reader is going round in circles.
std::size_t MostReads(std::size_t size, std::size_t buffer) {
    return size / 4 + size / buffer + 16;
}

void ReadToTheEnd(tape::TapeDrive& drive, std::size_t bufferSize, std::size_t fileSize) {
    std::vector<std::uint8_t> buffer(bufferSize);
    for (std::size_t reads = 0;; ++reads) {
        if (reads > MostReads(fileSize, bufferSize)) __builtin_trap();
        const tape::TapeRead read = drive.Read(buffer);
        if (read.count > buffer.size()) __builtin_trap();
        if (read.succeeded() != (read.count > 0)) __builtin_trap();  // data, or nothing and a reason
        if (read.end == tape::ReadEnd::EndOfData) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const common::UniqueFd file(::memfd_create("fuzz-tape", MFD_CLOEXEC));
    if (!file.valid() || common::WriteAll(file.get(), {data, size}).failed()) return 0;
    tape::CheckTapeFraming(common::MemoryImage({data, size}));

    tape::TapeDevices devices;
    tape::VirtualTapeOptions options;
    options.path = "/proc/self/fd/" + std::to_string(file.get());
    if (!devices.AttachVirtual(0, options)) return 0;
    {
        std::unique_ptr<tape::TapeDrive> drive;
        if (!devices.Open("//./tape0", drive)) __builtin_trap();
        ReadToTheEnd(*drive, tape::kTapeReadSize, size);
        if (!drive->Rewind()) __builtin_trap();
        ReadToTheEnd(*drive, 100, size);
    }
    catalog::Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
    catalog::CatalogSink sink;
    std::atomic<bool> active{true}, stop{false};
    tape::TapeScanSummary summary;
    if (tape::ScanTape(devices, "//./tape0", catalog, sink, active, stop, &summary) != 1) __builtin_trap();
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        if (!catalog.row(i).path().starts_with(catalog::kMediaRootPrefix)) __builtin_trap();
    }
    if (devices.Attached(0)->inUse()) __builtin_trap();  // every drive closed again
    return 0;
}
