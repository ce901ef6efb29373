#include "repair/disk_file.h"

#include <algorithm>

namespace plindor::repair {

constexpr std::uint64_t kSlice = std::uint64_t{8} << 20;

Status DiskFile::ReadAt(Part part, std::uint64_t offset, std::uint64_t size, std::string& out) {
  out.assign(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < out.size()) {
    const std::size_t chunk = std::min<std::size_t>(out.size() - done, kSlice);
    std::size_t got = 0;
    const Status status = ReadSome(part, offset + done, {out.data() + done, chunk}, got);
    if (!status.ok()) return status;
    if (got == 0) break;
    done += got;
  }
  out.resize(done);
  return {};
}

Status DiskFile::WriteAt(Part part, std::uint64_t offset, std::string_view data,
                         std::uint64_t* length) {
  std::uint64_t started = offset;  // where writeback has not been started yet
  for (std::size_t done = 0; done < data.size();) {
    const std::uint64_t at = offset + done;
    if (Status status = length ? CheckLength(*length) : Status(); !status.ok()) return status;
    // Slices end where the file's own slices do: a kill or power cut tears a write at page
    // boundaries of the file, and so a slice's end never falls inside a page.
    const auto chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(data.size() - done, kSlice - at % kSlice));
    std::size_t put = 0;
    const Status status = WriteSome(part, at, data.substr(done, chunk), put);
    if (!status.ok()) return status;
    done += put;
    if (length) *length = std::max(*length, at + put);
    if (offset + done - started >= kSlice) {
      StartWriteback(part, started, offset + done - started);
      started = offset + done;
    }
  }
  return {};
}

Status DiskFile::CheckLength(std::uint64_t length) {
  FileStamp now;
  if (Status status = Stamp(now); !status.ok()) return status;
  if (now.size == length) return {};
  return Status("another program wrote to it while it was rewritten", Status::Kind::kChanged);
}

Status DiskFile::Reserve(std::uint64_t size) {
  FileStamp now;
  if (Status status = Stamp(now); !status.ok()) return status;
  // An allocation below the length would cut the file: only growth is claimed.
  return size <= now.size ? Status() : Allocate(now.size, size);
}

}  // namespace plindor::repair
