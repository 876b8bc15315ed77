// The structure of a compiled help file (.chm), checked before chmlib reads
// it. chmlib trusts every number it finds: a damaged file makes it divide by
// zero, read past its buffers, loop without end or allocate whatever a
// length claims. A file that passes holds only structures it can follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace varnel::help {

// The largest help file read: the whole file is read into memory once. The
// manual with its pictures is some 64 KiB; 4 MiB leaves room for sixty
// times that and still costs nothing to hold.
inline constexpr size_t kMaxChmFileSize = size_t{4} << 20;
// The most the compressed section may hold unpacked, and so the most one
// stored file can claim: 16 MiB, four times the largest file, where the
// manual unpacks to under 100 KiB. It bounds what one read allocates and
// decompresses.
inline constexpr uint64_t kMaxChmContentSize = uint64_t{16} << 20;

// Whether chmlib 0.40 can read these bytes safely: the file header, the
// directory and every entry of it, the LZX control data and the reset
// table all lie inside the file and hold numbers chmlib can use, and no
// stored file reaches past its section.
bool isSoundChm(std::span<const uint8_t> file);

}  // namespace varnel::help
