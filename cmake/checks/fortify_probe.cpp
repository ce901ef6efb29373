// The probe of deb_fortify (cmake/PlindorPackaging.cmake), never linked: fortified, a read into
// a buffer of known size, for a length known only at run time, calls glibc's checked __read_chk.
#include <unistd.h>

#include <cstddef>

ssize_t FortifyProbe(int fd, std::size_t length) {
  char buffer[64];
  return ::read(fd, buffer, length);
}
