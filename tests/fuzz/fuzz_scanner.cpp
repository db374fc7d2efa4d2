// Fuzzes the image scanner with arbitrary media: the bytes become an in-memory file that is scanned
// exactly as an image on disk is, chunk by chunk and slot by slot, names, stream headers and all.

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "catalog/image_scanner.h"

namespace {

// The input is placed twice in one image: at its start, and so that it runs across the end of the first
// 65,536-byte chunk into the tail. Every input thus exercises the chunk, the chunk-boundary and the tail
// paths of the scanner; the rest of the image is zero, which the scanner passes over cheaply.
constexpr std::size_t kChunk = 65536;
constexpr std::size_t kSecondCopy = kChunk - 512;

bool WriteAt(int fd, const std::uint8_t* data, std::size_t size, std::size_t offset) {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum::catalog;
    const int fd = ::memfd_create("fuzz-image", MFD_CLOEXEC);
    if (fd < 0) return 0;
    const std::size_t written = kSecondCopy + std::max<std::size_t>(size, 1024);
    if (::ftruncate(fd, static_cast<off_t>(written)) != 0 || !WriteAt(fd, data, std::min(size, kSecondCopy), 0) ||
        !WriteAt(fd, data, size, kSecondCopy)) {
        ::close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    ImageFile image;
    if (OpenImageFile(image, path)) {
        Catalog catalog(std::make_shared<ExtensionFileInfo>());
        CatalogSink sink;
        std::atomic<bool> active{true};
        ScanImageFile(image, catalog, sink, active);
        // Every row the scan made must satisfy the catalog's own promises.
        for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
            const auto& row = catalog.row(i);
            if (row.path.rfind("TAPE MEDIA\\", 0) != 0) __builtin_trap();
            if (row.dataOffset && *row.dataOffset > written + 65536 + 2048) __builtin_trap();
        }
    }
    ::close(fd);
    return 0;
}
